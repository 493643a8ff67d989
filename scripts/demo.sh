#!/usr/bin/env bash
# The main job on a simulated device: installs what is missing, builds,
# prepares the sample product's updater when the window program is built,
# and shows txisp at work on a simulated bus. No hardware and no root are
# needed; everything the demo writes goes to build/demo.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null

has_target() {
  ninja -C build/release -t targets all 2>/dev/null | grep -q "^$1:"
}
targets=(txisp)
if has_target txisp-gui; then targets+=(txisp-gui); fi
cmake --build --preset release -j "$(nproc)" --target "${targets[@]}"

txisp=build/release/src/cli/txisp
gui=build/release/src/ui/txisp-gui
demo=build/demo
chip=TX5K3317
firmware=examples/firmware/$chip.TX5
log=$demo/trace.log
mkdir -p "$demo"
: >"$log"

# Every txisp below works on a fresh simulated bus with one TX5K3317 device.
export TXISP_SIM=examples/sim/$chip.json

step() {
  printf '\n== %s\n$' "$1"
  shift
  printf ' %q' "$@"
  printf '\n'
  "$@"
}

"$txisp" --version
step "The devices on the simulated bus" "$txisp" --log "$log" list
step "What the device's firmware reports" "$txisp" --log "$log" info
step "The sample firmware, loaded as Load File loads it" \
  "$txisp" --log "$log" image "$firmware" --chip "$chip"

updater=
if [ -x "$gui" ]; then
  updater=$demo/sample-product-updater
  step "The sample product's updater: the window with firmware and settings inside" \
    "$txisp" --log "$log" pack --program "$gui" --chip "$chip" --firmware "$firmware" \
    --settings examples/sample-settings -o "$updater"
fi

if [ -n "$updater" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  step "Programming in the window: press Update" "$updater"
elif "$txisp" --help | grep -qE '^ +program +'; then
  step "Programming the device" "$txisp" --log "$log" program --chip "$chip" \
    --file "$firmware" --yes
fi

printf '\ntrace log: %s\n' "$log"
printf 'counters:  kept by programming runs beside the program (%s), or in %s when that folder is not writable\n' \
  "$(dirname "$txisp")" "${XDG_STATE_HOME:-$HOME/.local/state}/txisp"
