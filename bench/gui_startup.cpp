// How long the window takes to come up: from starting txisp-gui to the first
// paint of the skinned window, with the device boxes already filled.
//
// Prepares an embedded tool for the sample product (TX5K3317, the sample
// settings archive) in a scratch folder, then starts it repeatedly with a
// simulated device of the production-line scenario attached and the
// offscreen platform; the program reports its first paint on stdout and
// ends. Prints each start and, last, the median:
//
//   run 1 startup_ms 142.3
//   ...
//   startup_ms 139.8
//
// Usage: bench_gui_startup [starts] [source folder]
//        (defaults: 11, the source tree this was built from)

#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "firmware/resource_ids.h"
#include "firmware/tx5_file.h"
#include "platform/files.h"
#include "platform/resources.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace txisp;

constexpr std::uintmax_t kMaxInputBytes = 16 << 20;

double NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::vector<std::uint8_t> Utf16Le(std::string_view ascii) {
    std::vector<std::uint8_t> bytes;
    for (const char c : ascii) {
        bytes.push_back(static_cast<std::uint8_t>(c));
        bytes.push_back(0);
    }
    return bytes;
}

bool PrepareTool(const fs::path& source, const fs::path& tool) {
    Result<std::vector<std::uint8_t>> firmware =
        platform::ReadFileBytes(source / "examples/firmware/TX5K3317.TX5", kMaxInputBytes);
    Result<std::vector<std::uint8_t>> settings =
        platform::ReadFileBytes(source / "examples/sample-settings.zip", kMaxInputBytes);
    if (!firmware.ok() || !settings.ok() || firmware->size() < firmware::kTx5HeaderSize) {
        std::fprintf(stderr, "cannot read the sample product under %s\n", source.c_str());
        return false;
    }
    platform::ResourceMap entries;
    entries[firmware::kChipNameResource] = Utf16Le("TX5K3317");
    entries[firmware::kFirmwareImageResource].assign(
        firmware->begin() + static_cast<std::ptrdiff_t>(firmware::kTx5HeaderSize), firmware->end());
    entries[firmware::kSettingsArchiveResource] = std::move(*settings);
    const Status written = platform::WriteProgramWithResources(TXISP_GUI_PROGRAM, tool, entries);
    if (!written.ok()) std::fprintf(stderr, "%s\n", written.message().c_str());
    return written.ok();
}

// One start: milliseconds until the program reported its first paint, or a
// negative value when it did not.
double TimeOneStart(const fs::path& tool) {
    int out[2];
    if (pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string program = tool.string();
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};

    const double started = NowMs();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return -1;
    }
    std::string said;
    char buffer[256];
    double painted = -1;
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) {
        said.append(buffer, static_cast<std::size_t>(n));
        if (said.find("first_paint") != std::string::npos) {
            painted = NowMs() - started;
            break;
        }
    }
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return painted;
}

}  // namespace

int main(int argc, char** argv) {
    const int starts = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    const fs::path source = argc > 2 ? fs::path(argv[2]) : fs::path(TXISP_SOURCE_DIR);

    char scratch_template[] = "/tmp/bench_gui_startup.XXXXXX";
    if (mkdtemp(scratch_template) == nullptr) return EXIT_FAILURE;
    const fs::path scratch = scratch_template;
    const fs::path tool = scratch / "txisp-gui";
    if (!PrepareTool(source, tool)) return EXIT_FAILURE;

    // The program's own folders in the scratch folder, so that nothing of the
    // user's is touched.
    setenv("TXISP_SIM", (source / "examples/sim/production-line.json").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("TXISP_STARTUP_PROBE", "1", 1);
    setenv("XDG_RUNTIME_DIR", scratch.c_str(), 1);
    setenv("XDG_STATE_HOME", (scratch / "state").c_str(), 1);

    std::vector<double> times;
    for (int run = 1; run <= starts; ++run) {
        const double ms = TimeOneStart(tool);
        if (ms < 0) {
            std::fprintf(stderr, "start %d: no first paint reported\n", run);
            fs::remove_all(scratch);
            return EXIT_FAILURE;
        }
        std::printf("run %d startup_ms %.1f\n", run, ms);
        times.push_back(ms);
    }
    fs::remove_all(scratch);
    std::sort(times.begin(), times.end());
    std::printf("startup_ms %.1f\n", times[times.size() / 2]);
    return EXIT_SUCCESS;
}
