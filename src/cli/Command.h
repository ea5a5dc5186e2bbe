// Subcommands of flashsmith-cli. Each front-end file registers its commands
// with a static CommandRegistrar; main() dispatches on the first argument.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace flashsmith::cli {

using Args = std::vector<std::string>;

struct Command {
    std::string name;     // "list", "s3", "patch" ...
    std::string summary;  // one line for the overview
    int (*run)(const Args& args);  // args after the subcommand name
};

struct CommandRegistrar {
    CommandRegistrar(const char* name, const char* summary, int (*run)(const Args&));
};

const std::map<std::string, Command>& Commands();

// Exit codes of every subcommand.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// A small option parser: declared flags and options, the rest positionals.
// "--name value" and "--name=value" are both accepted.
class ArgParser {
public:
    ArgParser(std::string usage) : usage_(std::move(usage)) {}
    ArgParser& Flag(const std::string& name) { flags_[name] = false; return *this; }
    ArgParser& Option(const std::string& name) { options_[name]; return *this; }

    // Parses; prints usage and returns false on --help (exitCode 0) or on a
    // usage error (message on stderr, exitCode 2).
    bool Parse(const Args& args, size_t minPositionals, size_t maxPositionals, int* exitCode);

    bool Has(const std::string& flag) const;
    std::optional<std::string> Get(const std::string& option) const;  // last value
    const std::vector<std::string>& All(const std::string& option) const;
    const std::vector<std::string>& Positionals() const { return positionals_; }
    const std::string& Usage() const { return usage_; }

private:
    std::string usage_;
    std::map<std::string, bool> flags_;
    std::map<std::string, std::vector<std::string>> options_;
    std::vector<std::string> positionals_;
};

// Decimal or 0x hexadecimal; false when the text is not such a number.
bool ParseCliNumber(const std::string& text, int64_t* value);

// "error: " + message on stderr; returns kExitFailed.
int Fail(const std::string& message);
// "error: " + message on stderr; returns kExitUsage.
int UsageError(const std::string& message);

}  // namespace flashsmith::cli
