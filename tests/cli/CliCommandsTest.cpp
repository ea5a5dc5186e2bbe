// The subcommand table and the verbs under it: every entry answers --help,
// and whatever is not in the table is a usage error that says what it was.
#include <gtest/gtest.h>

#include "support/CliRun.h"

namespace {

using flashsmith::test::RunCli;

const char* const kCommands[] = {"demo",  "export",  "identify", "list",  "patch",
                                 "phone", "profile", "s3",       "sound", "xml"};

TEST(CliCommands, TheOverviewListsEveryCommandAndEachAnswersHelp) {
    auto r = RunCli({"--help"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    size_t last = 0;
    for (const char* name : kCommands) {
        const size_t at = r.Out.find("\n  " + std::string(name) + " ");
        ASSERT_NE(at, std::string::npos) << name << "\n" << r.Out;
        EXPECT_GT(at, last) << name << " is out of order";
        last = at;
        auto help = RunCli({name, "--help"});
        EXPECT_EQ(help.Code, 0) << name;
        EXPECT_EQ(help.Out.rfind("usage: flashsmith-cli " + std::string(name), 0), 0u) << name << ": " << help.Out;
        EXPECT_EQ(help.Err, "") << name;
    }
    EXPECT_EQ(RunCli({}).Code, 2);
    auto unknown = RunCli({"frobnicate"});
    EXPECT_EQ(unknown.Code, 2);
    EXPECT_EQ(unknown.Err, "error: unknown subcommand frobnicate\n");
}

TEST(CliCommands, MissingAndUnknownVerbsAreUsageErrors) {
    struct Case {
        const char* command;
        const char* missing;  // first line on stderr without a verb
        const char* unknown;  // first line on stderr for the verb "nope"
    };
    const Case cases[] = {
        {"patch", "error: missing patch verb", "error: unknown patch verb nope"},
        {"profile", "error: missing profile verb", "error: unknown profile verb nope"},
        {"xml", "error: missing xml command", "error: unknown xml command nope"},
        {"s3", "usage: flashsmith-cli s3", "error: unknown s3 command 'nope'"},
        {"phone", "error: wrong number of arguments", "error: unknown phone command 'nope'"},
        {"sound", "error: wrong number of arguments", "error: unknown sound command nope"},
    };
    for (const Case& c : cases) {
        auto missing = RunCli({c.command});
        EXPECT_EQ(missing.Code, 2) << c.command;
        EXPECT_EQ(missing.Err.rfind(c.missing, 0), 0u) << c.command << ": " << missing.Err;
        EXPECT_EQ(missing.Out, "") << c.command;
        auto unknown = RunCli({c.command, "nope"});
        EXPECT_EQ(unknown.Code, 2) << c.command;
        EXPECT_EQ(unknown.Err.rfind(c.unknown, 0), 0u) << c.command << ": " << unknown.Err;
    }
}

}  // namespace
