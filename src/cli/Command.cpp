#include "cli/Command.h"

#include <cstdio>
#include <iostream>

#include "base/Numbers.h"
#include "cli/EditScript.h"
#include "editing/Replace.h"
#include "sound/AudioConvert.h"

namespace flashsmith::cli {
using namespace flashsmith::base;
using namespace flashsmith::editing;

namespace {

// Alphabetical, as the overview lists them.
constexpr Command kCommands[] = {
    {"demo", "write the synthetic demo firmware and its description file", RunDemo},
    {"export", "export pictures, sounds or Java files to a folder", RunExport},
    {"identify", "find the start, model, version and profiles of an image", RunIdentify},
    {"list", "open an image and list its resources", RunList},
    {"patch", "create, inspect and export patch files (.spf)", RunPatch},
    {"phone", "talk to a phone: info, list, send, delete, fetch", RunPhone},
    {"profile", "search an image without description file and write one (.sdf)", RunProfile},
    {"s3", "convert between S-record files and binary images", RunS3},
    {"sound", "read and render SMAF ringtones, convert audio into SMAF: info, render, convert", RunSound},
    {"xml", "read and rewrite XML documents (patch and settings dialect)", RunXml},
};

}  // namespace

void InstallEditScriptHooks() {
    SetDefaultApplyPatchHook(ApplyPatchFromScript);
    SetSoundConverter({&sound::IsConvertibleAudio, &sound::ConvertForReplacement});
}

std::span<const Command> Commands() { return kCommands; }

const Command* FindCommand(const std::string& name) {
    for (const Command& c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

int RunVerb(const Args& args, std::span<const Verb> verbs, const std::string& usage, const VerbTexts& texts) {
    if (args.empty()) {
        if (!texts.missing) {
            std::cerr << usage;
            return kExitUsage;
        }
        return UsageError(texts.missing + ("\n" + usage));
    }
    if (args[0] == "--help" || args[0] == "-h") {
        std::cout << usage;
        return kExitOk;
    }
    for (const Verb& v : verbs)
        if (args[0] == v.name) return v.run(Args(args.begin() + 1, args.end()));
    const std::string verb = texts.quoted ? "'" + args[0] + "'" : args[0];
    return UsageError(std::string(texts.unknown) + " " + verb + "\n" + usage);
}

bool ArgParser::Parse(const Args& args, size_t minPositionals, size_t maxPositionals, int* exitCode) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::cout << usage_;
            *exitCode = kExitOk;
            return false;
        }
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            std::string name = a, value;
            bool hasValue = false;
            if (size_t eq = a.find('='); eq != std::string::npos) {
                name = a.substr(0, eq);
                value = a.substr(eq + 1);
                hasValue = true;
            }
            if (auto f = flags_.find(name); f != flags_.end() && !hasValue) {
                f->second = true;
                continue;
            }
            auto o = options_.find(name);
            if (o == options_.end()) {
                *exitCode = UsageError("unknown option " + name + "\n" + usage_);
                return false;
            }
            if (!hasValue) {
                if (i + 1 >= args.size()) {
                    *exitCode = UsageError("option " + name + " needs a value\n" + usage_);
                    return false;
                }
                value = args[++i];
            }
            o->second.push_back(value);
            continue;
        }
        positionals_.push_back(a);
    }
    if (positionals_.size() < minPositionals || positionals_.size() > maxPositionals) {
        *exitCode = UsageError("wrong number of arguments\n" + usage_);
        return false;
    }
    return true;
}

bool ArgParser::Has(const std::string& flag) const {
    auto f = flags_.find(flag);
    return f != flags_.end() && f->second;
}

std::optional<std::string> ArgParser::Get(const std::string& option) const {
    auto o = options_.find(option);
    if (o == options_.end() || o->second.empty()) return std::nullopt;
    return o->second.back();
}

const std::vector<std::string>& ArgParser::All(const std::string& option) const {
    static const std::vector<std::string> none;
    auto o = options_.find(option);
    return o == options_.end() ? none : o->second;
}

bool ParseCliNumber(const std::string& text, int64_t* value) {
    const auto v = ParseInteger(text, kNumberSign | kNumber0x);
    if (!v || *v == INT64_MIN) return false;
    *value = *v;
    return true;
}

int Fail(const std::string& message) {
    std::cerr << "error: " << message << "\n";
    return kExitFailed;
}

int UsageError(const std::string& message) {
    std::cerr << "error: " << message << (message.empty() || message.back() == '\n' ? "" : "\n");
    return kExitUsage;
}

}  // namespace flashsmith::cli
