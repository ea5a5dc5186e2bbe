#include "firmware/FileFront.h"

#include <algorithm>

namespace flashsmith::firmware {
using namespace flashsmith::base;

namespace {
// Reads go in steps of this size at least: few system calls, and a search
// that walks on reads each byte once.
constexpr size_t kReadStep = size_t(2) << 20;
}  // namespace

Result<std::unique_ptr<FileFront>> FileFront::Open(const std::string& path) {
    Result<detail::RegularFile> file = detail::OpenRegularFile(path, BinFile::kMaxSize);
    if (!file) return Status::Fail(path + ": " + file.Error());
    std::unique_ptr<FileFront> f(new FileFront());
    f->path_ = path;
    f->size_ = file->Size;
    f->fd_ = std::move(file->Fd);
    if (f->size_ > 0) {
        // The whole size is only reserved: pages come into being as they are read.
        f->buffer_ = std::unique_ptr<void, detail::Unmap>(detail::MapBuffer(f->size_), detail::Unmap{f->size_});
        if (!f->buffer_)
            return Status::Fail(path + ": not enough memory to read " + std::to_string(f->size_) + " bytes");
    }
    return f;
}

void FileFront::ReadUpTo(size_t end) const {
    if (end <= filled_ || !error_.empty()) return;
    const size_t to = std::min(size_, std::max(end, filled_ + kReadStep));
    const std::string why = detail::ReadRange(fd_.Get(), static_cast<char*>(buffer_.get()), filled_, to);
    // A part read only in part is not kept: views end at the last whole step.
    if (!why.empty()) error_ = path_ + ": " + why;
    else filled_ = to;
}

std::string_view FileFront::View(int64_t offset, size_t n) const {
    if (offset < 0 || static_cast<size_t>(offset) >= size_) return {};
    const size_t from = static_cast<size_t>(offset);
    ReadUpTo(from + std::min(n, size_ - from));
    if (from >= filled_) return {};
    return {static_cast<const char*>(buffer_.get()) + from, std::min(n, filled_ - from)};
}

}  // namespace flashsmith::firmware
