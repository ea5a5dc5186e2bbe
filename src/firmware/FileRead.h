// Reading a file into fresh memory, whole or as far as it is asked for:
// BinFile and FileFront share it, so both refuse the same files and report
// a file cut under them the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/FileHandle.h"
#include "base/Result.h"

namespace flashsmith::firmware::detail {

// A regular file opened for reading, with its size when it was opened.
struct RegularFile {
    base::UniqueFd Fd;
    size_t Size = 0;
};

// Opens path for reading; refuses what is not a regular file and files over
// maxSize bytes. The message does not name the file (callers put the path
// before it).
base::Result<RegularFile> OpenRegularFile(const std::string& path, uint64_t maxSize);

// Fresh memory for length bytes, left unfilled (nullptr when there is none);
// released with Unmap{length}.
void* MapBuffer(size_t length);
struct Unmap {
    size_t length;
    void operator()(void* p) const;
};

// Reads [from, to) of the file into buffer + from: empty when done, else why
// not ("the file shrank to N bytes while it was read" when it ends early).
std::string ReadRange(int fd, char* buffer, size_t from, size_t to);

// Reads [0, size) of the file into buffer; large files in two halves at once.
// A file shorter than size is reported where a read from the front finds its end.
std::string ReadAll(int fd, char* buffer, size_t size);

}  // namespace flashsmith::firmware::detail
