#include <gtest/gtest.h>

#include "xml/XmlTestUtil.h"

namespace flashsmith {
namespace {

TEST(CliXml, FormatRewritesInTheWritersLayout) {
    TempDir dir;
    const std::string in = dir.Path("in.xml"), out = dir.Path("out.xml");
    WriteFile(in, "<?xml version=\"1.0\"?>\n<patch version=\"1.0a\">\n\t<info name=\"a &amp; b\"\n"
                  "    group=\"\"/>text<x>  kept  </x></patch>\n");
    std::string output;
    ASSERT_EQ(RunCli("xml format " + ShellQuote(in) + " " + ShellQuote(out), &output), 0) << output;
    EXPECT_EQ(ReadFile(out),
              "<?xml version=\"1.0\" encoding=\"Windows-1251\" ?>\r\n"
              "<patch version=\"1.0a\">\r\n"
              "  <info name=\"a &amp; b\" group=\"\" />\r\n"
              "  <x>kept</x>\r\n"
              "</patch>\r\n");
    EXPECT_EQ(RunXmllint(out), 0);

    // In place: the output replaces its own input.
    ASSERT_EQ(RunCli("xml format " + ShellQuote(out) + " " + ShellQuote(out), &output), 0) << output;
    EXPECT_EQ(RunXmllint(out), 0);
}

TEST(CliXml, ReportsFailuresAndUsage) {
    TempDir dir;
    std::string output;
    EXPECT_EQ(RunCli("xml format " + ShellQuote(dir.Path("missing")) + " " + ShellQuote(dir.Path("o")), &output), 1);
    EXPECT_EQ(output.rfind("error: ", 0), 0u) << output;
    EXPECT_FALSE(std::filesystem::exists(dir.Path("o")));
    EXPECT_EQ(RunCli("xml format onlyone", &output), 2);
    EXPECT_EQ(RunCli("xml frobnicate", &output), 2);
    EXPECT_EQ(RunCli("xml", &output), 2);
    EXPECT_EQ(RunCli("xml format --help", &output), 0);
    EXPECT_NE(output.find("usage: flashsmith-cli xml format IN OUT"), std::string::npos);
}

}  // namespace
}  // namespace flashsmith
