#include "firmware/FileRead.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/SideThread.h"

namespace flashsmith::firmware::detail {
using namespace flashsmith::base;

void Unmap::operator()(void* p) const { ::munmap(p, length); }

namespace {

constexpr size_t kHugePage = size_t(2) << 20;

// Fresh memory for a file's bytes, left unfilled: every byte is read over
// before it is looked at, so zero-filling it first would be a second pass for
// nothing. Most of an open's time goes to faulting these pages in, so an
// image of megabytes asks for huge pages (one fault per 2 MiB instead of per
// 4 KiB); where the kernel has none to give, ordinary pages serve the same.
// The returned span is exactly `length` bytes long and released with munmap.
void* MapBuffer(size_t length) {
    if (length < kHugePage) {
        void* p = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return p == MAP_FAILED ? nullptr : p;
    }
    // Huge pages need 2 MiB alignment: map a little more, cut off the ends.
    const size_t span = length + kHugePage;
    void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const uintptr_t begin = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (begin + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
    const size_t head = aligned - begin;
    const size_t pageSize = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    const size_t mapped = (length + pageSize - 1) / pageSize * pageSize;
    if (head) ::munmap(raw, head);
    if (span - head > mapped) ::munmap(reinterpret_cast<void*>(aligned + mapped), span - head - mapped);
#ifdef MADV_HUGEPAGE
    ::madvise(reinterpret_cast<void*>(aligned), mapped, MADV_HUGEPAGE);  // a hint; refused is fine
#endif
    return reinterpret_cast<void*>(aligned);
}

}  // namespace

Result<OpenedFile> OpenForReading(const std::string& path, uint64_t maxSize) {
    auto fail = [&](const std::string& why) { return Status::Fail(path + ": " + why); };
    OpenedFile file{UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC))};
    if (!file.Fd.Valid()) return fail(std::strerror(errno));
    struct stat st{};
    if (::fstat(file.Fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return fail("not a regular file");
    if (static_cast<uint64_t>(st.st_size) > maxSize)
        return fail("too large (" + std::to_string(st.st_size) + " bytes; at most " + std::to_string(maxSize) +
                    " are read)");
    file.Size = static_cast<size_t>(st.st_size);
    if (file.Size > 0) {
        file.Buffer = std::unique_ptr<void, Unmap>(MapBuffer(file.Size), Unmap{file.Size});
        if (!file.Buffer) return fail("not enough memory to read " + std::to_string(file.Size) + " bytes");
    }
    return file;
}

// Reads [from, to) of the file into buffer + from: empty when done, else why not.
std::string ReadRange(int fd, char* buffer, size_t from, size_t to) {
    for (size_t done = from; done < to;) {
        const ssize_t n = ::pread(fd, buffer + done, to - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::strerror(errno);
        // Another program cut the file while it was read.
        if (n == 0) return "the file shrank to " + std::to_string(done) + " bytes while it was read";
        done += static_cast<size_t>(n);
    }
    return {};
}

namespace {

// From this size on, the second half of a file is read on a thread of its
// own. Most of a read's time goes to the kernel clearing the fresh pages and
// copying into them, and both scale with the cores that do it; a small file
// is read before a thread would have started.
constexpr size_t kTwoReadersFrom = size_t(8) << 20;

}  // namespace

// Reads the whole file into buffer, large files in two halves at once.
std::string ReadAll(int fd, char* buffer, size_t size) {
    if (size < kTwoReadersFrom) return ReadRange(fd, buffer, 0, size);
    // Split on a huge-page edge, so that no page is faulted in by both.
    const size_t middle = size / 2 / kHugePage * kHugePage;
    std::string high;
    SideThread reader([&] { high = ReadRange(fd, buffer, middle, size); });
    const std::string low = ReadRange(fd, buffer, 0, middle);
    reader.Join();
    // A file cut short ends the lower half first: the message names where the
    // file ended as a read from the front finds it.
    return !low.empty() ? low : high;
}

}  // namespace flashsmith::firmware::detail
