#!/usr/bin/env bash
# Installs every build and test dependency of txisp from Debian 12 packages.
# Idempotent: packages already present are not touched, and nothing is fetched
# when all of them are installed. Works as root and through sudo.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  zlib1g-dev libminizip-dev libudev-dev
  qt6-base-dev
  libfmt-dev libcli11-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages are installed"
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  run=()
elif command -v sudo >/dev/null 2>&1; then
  run=(sudo)
else
  echo "install-deps: missing packages (${missing[*]}) and neither root nor sudo" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${run[@]}" apt-get update -q
"${run[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
