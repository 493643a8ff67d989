#pragma once

// Runs the built txisp the way a user does - a separate process with its
// own environment - and collects its exit code and both output streams.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/temp_dir.h"

extern char** environ;

namespace txisp::cli::testing {

struct ProcessResult {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

inline std::filesystem::path TxispProgram() {
    return TXISP_CLI_PROGRAM;
}

inline std::filesystem::path Example(const std::string& relative) {
    return txisp::testing::SourceDir() / "examples" / relative;
}

// `env` entries ("NAME=value") are added to the test's environment, from
// which TXISP_SIM and SOURCE_DATE_EPOCH are removed first so that no
// setting of the person running the tests leaks in.
inline ProcessResult RunProgram(const std::filesystem::path& program,
                                const std::vector<std::string>& args,
                                const std::vector<std::string>& env = {}) {
    txisp::testing::TempDir capture;
    const std::string out_file = (capture / "out").string();
    const std::string err_file = (capture / "err").string();

    std::vector<std::string> arg_texts = {program.string()};
    arg_texts.insert(arg_texts.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& text : arg_texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);

    std::vector<std::string> env_texts;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (text.starts_with("TXISP_SIM=") || text.starts_with("SOURCE_DATE_EPOCH=")) continue;
        env_texts.push_back(text);
    }
    env_texts.insert(env_texts.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (std::string& text : env_texts)
        envp.push_back(text.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ProcessResult result;
    if (spawned != 0) {
        result.Err = std::string("posix_spawn: ") + std::strerror(spawned);
        return result;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.Out = txisp::testing::ReadText(out_file);
    result.Err = txisp::testing::ReadText(err_file);
    return result;
}

inline ProcessResult RunTxisp(const std::vector<std::string>& args,
                              const std::vector<std::string>& env = {}) {
    return RunProgram(TxispProgram(), args, env);
}

inline std::string SimEnv(const std::filesystem::path& scenario) {
    return "TXISP_SIM=" + scenario.string();
}

// The JSON document on standard output; a failed test when there is none.
inline nlohmann::json ParseJson(const ProcessResult& result) {
    return nlohmann::json::parse(result.Out, nullptr, /*allow_exceptions=*/false);
}

inline std::ostream& operator<<(std::ostream& out, const ProcessResult& result) {
    return out << "exit " << result.ExitCode << "\n--- stdout\n"
               << result.Out << "--- stderr\n"
               << result.Err;
}

}  // namespace txisp::cli::testing
