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
    Result<detail::OpenedFile> file = detail::OpenForReading(path, BinFile::kMaxSize);
    if (!file) return file.ToStatus();
    std::unique_ptr<FileFront> f(new FileFront());
    f->path_ = path;
    f->file_ = std::move(*file);
    return f;
}

void FileFront::ReadUpTo(size_t end) const {
    if (end <= filled_ || !error_.empty()) return;
    const size_t to = std::min(file_.Size, std::max(end, filled_ + kReadStep));
    const std::string why = detail::ReadRange(file_.Fd.Get(), file_.Bytes(), filled_, to);
    // A part read only in part is not kept: views end at the last whole step.
    if (!why.empty()) error_ = path_ + ": " + why;
    else filled_ = to;
}

std::string_view FileFront::View(int64_t offset, size_t n) const {
    const size_t size = file_.Size;
    if (offset < 0 || static_cast<size_t>(offset) >= size) return {};
    const size_t from = static_cast<size_t>(offset);
    ReadUpTo(from + std::min(n, size - from));
    if (from >= filled_) return {};
    return {file_.Bytes() + from, std::min(n, filled_ - from)};
}

}  // namespace flashsmith::firmware
