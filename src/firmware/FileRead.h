// Reading a file into fresh memory, whole or as far as it is asked for:
// BinFile and FileFront share it, so both refuse the same files and report
// a file cut under them the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/FileHandle.h"
#include "base/Result.h"

namespace flashsmith::firmware::detail {

// Releases what OpenForReading reserved.
struct Unmap {
    size_t length;
    void operator()(void* p) const;
};

// A regular file opened for reading, with its size when it was opened and
// fresh, unfilled memory reserved for all of it (none for an empty file):
// pages come into being as they are read into.
struct OpenedFile {
    base::UniqueFd Fd;
    size_t Size = 0;
    std::unique_ptr<void, Unmap> Buffer{nullptr, Unmap{0}};
    char* Bytes() const { return static_cast<char*>(Buffer.get()); }
};

// Opens path for reading and reserves the memory for its bytes; refuses what
// is not a regular file and files over maxSize bytes ("path: reason").
base::Result<OpenedFile> OpenForReading(const std::string& path, uint64_t maxSize);

// Reads [from, to) of the file into buffer + from: empty when done, else why
// not ("the file shrank to N bytes while it was read" when it ends early).
std::string ReadRange(int fd, char* buffer, size_t from, size_t to);

// Reads [0, size) of the file into buffer; large files in two halves at once.
// A file shorter than size is reported where a read from the front finds its end.
std::string ReadAll(int fd, char* buffer, size_t size);

}  // namespace flashsmith::firmware::detail
