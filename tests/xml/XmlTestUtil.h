// Small helpers shared by the xml and patches tests.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "support/CliRun.h"
#include "support/TempDir.h"

namespace flashsmith {

using test::TempDir;

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

using flashsmith::test::ShellQuote;

// Exit status of the command; stdout and stderr go to *output when given.
inline int RunCommand(const std::string& command, std::string* output = nullptr) {
    std::FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p) return -1;
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int status = ::pclose(p);
    if (output) *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline int RunXmllint(const std::string& path, std::string* output = nullptr) {
    return RunCommand("xmllint --noout " + ShellQuote(path), output);
}

inline std::string CliPath() {
    const char* cli = std::getenv("FLASHSMITH_CLI");
    return cli ? cli : "flashsmith-cli";
}

inline int RunCli(const std::string& args, std::string* output = nullptr) {
    return RunCommand(ShellQuote(CliPath()) + " " + args, output);
}

}  // namespace flashsmith
