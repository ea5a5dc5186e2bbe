#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "TestImage.h"
#include "base/FileUtil.h"
#include "firmware/JavaNames.h"
#include "firmware/FindPattern.h"

using namespace flashsmith::base;
using namespace flashsmith::firmware;

namespace {


TEST(EscapeName, UpperCaseBlanksAndOtherBytes) {
    EXPECT_EQ(EscapeName("Snake Game.jar"), "#Snake%0020#Game.jar");
    EXPECT_EQ(EscapeName("a-z_0@9$"), "a-z_0@9$");
    EXPECT_EQ(EscapeName("\\"), "%005C");
    EXPECT_EQ(EscapeName(std::string("\xE9", 1)), "%00E9");
    // the kept punctuation, including the three that unescaping reinterprets
    EXPECT_EQ(EscapeName("\"&+!*'(),;/#?:."), "\"&+!*'(),;/#?:.");
}

TEST(EscapeName, RoundTripsTextWithoutHashAmpersandPlus) {
    for (std::string s : std::vector<std::string>{"My App", "Tetris_2000 (v1.2)", "UPPER lower 123", std::string("\x01\xFF~", 3)})
        EXPECT_EQ(UnescapeName(EscapeName(s)), s) << s;
    // "+" and "&" survive escaping and are then read as blank and line break
    EXPECT_EQ(UnescapeName(EscapeName("a+b&c")), "a b\r\nc");
}

TEST(UnescapeName, PercentCodesAndBadDigits) {
    EXPECT_EQ(UnescapeName("%0041%0062"), "Ab");
    EXPECT_EQ(UnescapeName("%0141"), "A");             // only the low eight bits count
    EXPECT_EQ(UnescapeName("x%zzzzy"), "x\x01y");       // unreadable: code 1, four skipped
    EXPECT_EQ(UnescapeName("%41"), "A");                // short tail still read as hex
    EXPECT_EQ(UnescapeName("#E:\\#S100"), "E:\\S100");
}

TEST(FindPattern, FindsAtStartAcrossStepsAndAtTheEnd) {
    flashsmith::test::ImageBytes img(3 << 20);
    img.Put(100, "ABC").Put((1 << 20) - 1, "XYZ").Put((3 << 20) - 3, "END");
    auto f = img.File();
    auto& none = NullProgress();
    EXPECT_EQ(flashsmith::firmware::FindPattern(*f, 100, "ABC", none), 100);
    EXPECT_EQ(flashsmith::firmware::FindPattern(*f, 101, "ABC", none), -1);
    EXPECT_EQ(flashsmith::firmware::FindPattern(*f, 0, "XYZ", none), (1 << 20) - 1);  // straddles a search step
    EXPECT_EQ(flashsmith::firmware::FindPattern(*f, 0, "END", none), (3 << 20) - 3);
    EXPECT_EQ(flashsmith::firmware::FindPattern(*f, f->Size(), "A", none), -1);
    EXPECT_EQ(flashsmith::firmware::FindPattern(*f, 0, "", none), -1);
    EXPECT_EQ(flashsmith::firmware::FindPattern(*f, 0, std::string(256, 'A'), none), -1);
}

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("fs_helpers_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const char* name) const { return (dir_ / name).string(); }
    std::filesystem::path dir_;
};

using CopyFileRangeTest = TempDir;

TEST_F(CopyFileRangeTest, CopiesBlocksRemaindersAndWholeFiles) {
    std::string data(10000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    ASSERT_TRUE(WriteFileAtomic(Path("src"), data));
    std::FILE* src = std::fopen(Path("src").c_str(), "rb");
    std::FILE* dst = std::fopen(Path("dst").c_str(), "w+b");
    EXPECT_EQ(CopyFileRange(src, dst, 100, 8192, 0), 8192);
    EXPECT_EQ(CopyFileRange(src, dst, 0, 0, 8192), 10000);  // whole source after the first copy
    std::fclose(src);
    std::fclose(dst);
    std::string out;
    ASSERT_TRUE(ReadWholeFile(Path("dst"), out));
    ASSERT_EQ(out.size(), 8192u + 10000u);
    EXPECT_EQ(out.substr(0, 8192), data.substr(100, 8192));
    EXPECT_EQ(out.substr(8192), data);
    EXPECT_EQ(FileSizeOf(Path("dst")), 18192);
    EXPECT_EQ(FileSizeOf(Path("missing")), -1);
}

using JadTest = TempDir;

TEST_F(JadTest, SuiteNameFromNameAndVendorAndAppendedJarLines) {
    ASSERT_TRUE(WriteFileAtomic(Path("a.jad"),
                                    "MIDlet-Vendor: Old\r\nmidlet-name:  Snake Game \nMIDlet-Vendor: Acme Inc\r\n"));
    ASSERT_TRUE(WriteFileAtomic(Path("a.jar"), std::string(1234, 'x')));
    EXPECT_EQ(JadSuiteName(Path("a.jad"), Path("a.jar")), EscapeName("Acme Inc_Snake Game_suite"));
    std::string jad;
    ASSERT_TRUE(ReadWholeFile(Path("a.jad"), jad));
    EXPECT_NE(jad.find("\r\nMIDlet-Jar-Size: 1234\r\nMIDlet-Jar-URL: #Snake%0020#Game.jar\r\n"), std::string::npos);
}

TEST_F(JadTest, NoVendorGivesEmptyAndEmptyJarPathAppendsNothing) {
    const std::string text = "MIDlet-Name: Solo\r\nMIDlet-Version: 1.0\r\n";
    ASSERT_TRUE(WriteFileAtomic(Path("b.jad"), text));
    EXPECT_EQ(JadSuiteName(Path("b.jad"), ""), "");
    std::string jad;
    ASSERT_TRUE(ReadWholeFile(Path("b.jad"), jad));
    EXPECT_EQ(jad, text);
}

using ReadTextLineTest = TempDir;

TEST_F(ReadTextLineTest, LineEndsOfEveryKind) {
    ASSERT_TRUE(WriteFileAtomic(Path("t"), std::string("one\r\ntwo\nthree\rfour\n\nsix")));
    std::FILE* f = std::fopen(Path("t").c_str(), "rb");
    std::vector<std::string> lines;
    for (int i = 0; i < 6; ++i) lines.push_back(ReadTextLine(f));
    std::fclose(f);
    // "\n\n" is one line end (the pair is consumed whole), so "six" follows "four"
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three", "four", "six", ""}));
}

}  // namespace
