#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "base/FileUtil.h"
#include "support/TempDir.h"

namespace {

std::string TempPath(const char* name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

TEST(WriteFileAtomic, FailedWriteKeepsTheEarlierFile) {
    std::string path = TempPath("fs_atomic_test.bin");
    ASSERT_TRUE(flashsmith::base::WriteFileAtomic(path, std::string_view("first")));
    std::string err;
    EXPECT_FALSE(flashsmith::base::WriteFileAtomic(path, [](std::FILE* f) { std::fputs("partial", f); return false; }).Ok(&err));
    std::string back;
    ASSERT_TRUE(flashsmith::base::ReadWholeFile(path, back));
    EXPECT_EQ(back, "first");
    // no temporary is left beside it
    for (auto& e : std::filesystem::directory_iterator(std::filesystem::temp_directory_path()))
        EXPECT_EQ(e.path().filename().string().find("fs_atomic_test.bin.tmp"), std::string::npos);
    std::remove(path.c_str());
}

TEST(WriteFileAtomic, UnwritableFolderIsAnError) {
    std::string err;
    EXPECT_FALSE(flashsmith::base::WriteFileAtomic("/nonexistent-dir/x.bin", std::string_view("x")).Ok(&err));
    EXPECT_FALSE(err.empty());
}

TEST(ReadWholeFile, EmptyMissingAndAFileThatGrowsPastItsFirstSize) {
    std::string bytes = "stale";
    const std::string empty = TempPath("fs_read_empty.bin");
    ASSERT_TRUE(flashsmith::base::WriteFileAtomic(empty, std::string_view()));
    ASSERT_TRUE(flashsmith::base::ReadWholeFile(empty, bytes));
    EXPECT_TRUE(bytes.empty());
    std::remove(empty.c_str());

    const auto missing = flashsmith::base::ReadWholeFile("/nonexistent-dir/x.bin", bytes);
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.Error(), "/nonexistent-dir/x.bin: No such file or directory");

    // A pipe has no size to start from: the buffer grows as it is read.
    const std::string fifo = TempPath(("fs_read_fifo_" + std::to_string(::getpid())).c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string sent(300000, '\0');
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 31 + i / 977);
    std::thread writer([&] {
        std::FILE* f = std::fopen(fifo.c_str(), "wb");
        if (!f) return;
        std::fwrite(sent.data(), 1, sent.size(), f);
        std::fclose(f);
    });
    const auto read = flashsmith::base::ReadWholeFile(fifo, bytes);
    writer.join();
    std::remove(fifo.c_str());
    ASSERT_TRUE(read) << read.Error();
    EXPECT_EQ(bytes, sent);
}

}  // namespace

using namespace flashsmith::base;

// The helpers every layer builds file names with: a wrong split here names
// the wrong file or folder, quietly.
TEST(PathHelpers, SplitAndJoinAtTheLastSlashOnly) {
    EXPECT_EQ(BaseName("a/b/c.bin"), "c.bin");
    EXPECT_EQ(BaseName("c.bin"), "c.bin");
    EXPECT_EQ(BaseName("a/b/"), "");
    EXPECT_EQ(FolderOf("a/b.d/c.bin"), "a/b.d/");
    EXPECT_EQ(FolderOf("/c.bin"), "/");
    EXPECT_EQ(FolderOf("c.bin"), "");
    EXPECT_EQ(ExtensionOf("a/b/c.tar.SAF"), ".SAF");
    EXPECT_EQ(ExtensionOf("a.d/c"), "");  // a dot in a folder name is no extension
    EXPECT_EQ(ExtensionOf("a/.hidden"), "");
    EXPECT_EQ(JoinPath("a/b", "c"), "a/b/c");
    EXPECT_EQ(JoinPath("a/b/", "c"), "a/b/c");
    EXPECT_EQ(JoinPath("", "c"), "c");
    EXPECT_EQ(JoinPath(FolderOf("x/img.bin"), "Firmwares"), "x/Firmwares");
}

TEST(PathHelpers, ExistenceTellsFilesFromFolders) {
    flashsmith::test::TempDir dir;
    const std::string file = dir.Path("f.bin");
    ASSERT_TRUE(WriteFileAtomic(file, std::string_view("abc")).Ok());
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(DirExists(file));
    EXPECT_TRUE(FileExists(dir.Str()));
    EXPECT_TRUE(DirExists(dir.Str()));
    EXPECT_FALSE(FileExists(dir.Path("missing")));
    EXPECT_FALSE(DirExists(""));
    EXPECT_EQ(FileSizeOf(file), 3);
    EXPECT_EQ(FileSizeOf(dir.Path("missing")), -1);
}
