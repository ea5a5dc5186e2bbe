// File writing that never leaves a truncated file or destroys the previous
// one: write to a temporary name in the same folder, rename when complete.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace flashsmith {

// Calls write(FILE*) on a temporary file beside path; renames it over path
// only when write returns true and every byte reached the disk. On failure
// the temporary is removed, path is untouched and *error says why.
bool WriteFileAtomic(const std::string& path, const std::function<bool(std::FILE*)>& write,
                     std::string* error);
bool WriteFileAtomic(const std::string& path, std::string_view bytes, std::string* error);

// True when path names the same file as the one open as image (same device
// and inode), so a writer can refuse to replace the image being edited.
bool SameFile(const std::string& path, const std::string& image);

bool ReadWholeFile(const std::string& path, std::string& out, std::string* error);
bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
// Last path component ("a/b/c.bin" -> "c.bin").
std::string BaseName(const std::string& path);
// Joins a folder and a name with exactly one '/'.
std::string JoinPath(const std::string& dir, const std::string& name);

}  // namespace flashsmith
