// Subcommands of flashsmith-cli: one table, in overview order; main()
// dispatches on the first argument.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <optional>
#include <string>
#include <vector>

namespace flashsmith::cli {

using Args = std::vector<std::string>;

struct Command {
    const char* name;     // "list", "s3", "patch" ...
    const char* summary;  // one line for the overview
    int (*run)(const Args& args);  // args after the subcommand name
};

// Every subcommand; null when name is none of them.
std::span<const Command> Commands();
const Command* FindCommand(const std::string& name);

// Front ends of the subcommands (CmdFirmware.cpp, CmdPatch.cpp ...).
int RunDemo(const Args& args);
int RunExport(const Args& args);
int RunIdentify(const Args& args);
int RunList(const Args& args);
int RunPatch(const Args& args);
int RunPhone(const Args& args);
int RunProfile(const Args& args);
int RunS3(const Args& args);
int RunSound(const Args& args);
int RunXml(const Args& args);

// The edit scripts' links into the other front ends: "apply PATCH" lines and
// audio files as sound replacements. main() installs them before running.
void InstallEditScriptHooks();

// A subcommand whose first argument names what to do ("patch show ...").
struct Verb {
    const char* name;
    int (*run)(const Args& args);  // args after the verb
};
struct VerbTexts {
    const char* missing;  // "missing patch verb"; null: the usage alone on stderr
    const char* unknown;  // "unknown patch verb" (the verb follows)
    bool quoted;          // the unknown verb in single quotes
};
// --help or -h prints usage; an unknown or missing verb is a usage error.
int RunVerb(const Args& args, std::span<const Verb> verbs, const std::string& usage, const VerbTexts& texts);

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
