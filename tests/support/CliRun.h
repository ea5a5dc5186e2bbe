// Runs flashsmith-cli (FLASHSMITH_CLI) and captures its output and exit code.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/TempDir.h"

namespace flashsmith::test {

struct CliResult {
    int Code = -1;
    std::string Out;
    std::string Err;
};

inline std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string Slurp(const std::string& path) {
    std::string out;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
        std::fclose(f);
    }
    return out;
}

// shellPrefix runs in the same shell before the program (limits, traps).
inline CliResult RunCli(const std::vector<std::string>& args, const std::string& shellPrefix = "") {
    const char* cli = std::getenv("FLASHSMITH_CLI");
    CliResult r;
    if (!cli) return r;
    static int counter = 0;
    const std::string base = std::filesystem::temp_directory_path() /
                             ("fs_cli_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::string cmd = shellPrefix + ShellQuote(cli);
    for (const auto& a : args) cmd += " " + ShellQuote(a);
    cmd += " >" + base + ".out 2>" + base + ".err";
    int status = std::system(cmd.c_str());
    r.Code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.Out = Slurp(base + ".out");
    r.Err = Slurp(base + ".err");
    std::remove((base + ".out").c_str());
    std::remove((base + ".err").c_str());
    return r;
}

// The CLI tests' name for it.
using ScratchDir = flashsmith::test::TempDir;

}  // namespace flashsmith::test
