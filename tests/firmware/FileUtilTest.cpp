#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "firmware/FileUtil.h"

namespace {

std::string TempPath(const char* name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

TEST(WriteFileAtomic, FailedWriteKeepsTheEarlierFile) {
    std::string path = TempPath("fs_atomic_test.bin");
    ASSERT_TRUE(flashsmith::WriteFileAtomic(path, std::string_view("first"), nullptr));
    std::string err;
    EXPECT_FALSE(flashsmith::WriteFileAtomic(path, [](std::FILE* f) { std::fputs("partial", f); return false; }, &err));
    std::string back;
    ASSERT_TRUE(flashsmith::ReadWholeFile(path, back, nullptr));
    EXPECT_EQ(back, "first");
    // no temporary is left beside it
    for (auto& e : std::filesystem::directory_iterator(std::filesystem::temp_directory_path()))
        EXPECT_EQ(e.path().filename().string().find("fs_atomic_test.bin.tmp"), std::string::npos);
    std::remove(path.c_str());
}

TEST(WriteFileAtomic, UnwritableFolderIsAnError) {
    std::string err;
    EXPECT_FALSE(flashsmith::WriteFileAtomic("/nonexistent-dir/x.bin", std::string_view("x"), &err));
    EXPECT_FALSE(err.empty());
}

}  // namespace
