// Whole-file reading, and file writing that never leaves a truncated file or
// destroys the previous one: write to a temporary name in the same folder,
// rename when complete. Plus the few path and file questions every layer asks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "base/Result.h"

namespace flashsmith::base {

// Calls write(FILE*) on a temporary file beside path; renames it over path
// only when write returns true and every byte reached the disk. On failure
// the temporary is removed, path is untouched and the status says why
// ("path: reason").
Status WriteFileAtomic(const std::string& path, const std::function<bool(std::FILE*)>& write);
Status WriteFileAtomic(const std::string& path, std::string_view bytes);

// Replaces out with the file's bytes; on failure out is unspecified.
Status ReadWholeFile(const std::string& path, std::string& out);

// True when path names the same file as the one open as image (same device
// and inode), so a writer can refuse to replace the image being edited.
bool SameFile(const std::string& path, const std::string& image);

bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
// -1 when the file cannot be opened.
int64_t FileSizeOf(const std::string& path);
// Last path component ("a/b/c.bin" -> "c.bin"; "a/b/" -> "").
std::string BaseName(const std::string& path);
// The folder part with its trailing '/' ("a/b/c.bin" -> "a/b/"; "c.bin" -> "").
std::string FolderOf(const std::string& path);
// The last component's extension with its dot ("a.b/c.SAF" -> ".SAF"; "a.b/c"
// and ".hidden" -> "").
std::string ExtensionOf(const std::string& path);
// Joins a folder and a name with exactly one '/'.
std::string JoinPath(const std::string& dir, const std::string& name);

// Copies count bytes (0 = the whole source) from source offset to target
// offset; returns the bytes copied.
int64_t CopyFileRange(std::FILE* source, std::FILE* target, int64_t sourceOffset, int64_t count,
                      int64_t targetOffset);
// One line up to CR or LF (excluded); a CR LF / LF CR pair is consumed whole.
std::string ReadTextLine(std::FILE* file);

}  // namespace flashsmith::base
