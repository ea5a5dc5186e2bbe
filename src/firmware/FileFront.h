// The front of a file, read only as far as the searches on it reach. The
// searches that identify an image stop at their first hit, mostly within the
// first megabytes of a dump of tens: identifying a file need not copy it all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/Result.h"
#include "firmware/BinFile.h"
#include "firmware/FileRead.h"

namespace flashsmith::firmware {

class FileFront final : public ByteSource {
public:
    // Opens the file and reads nothing yet; refuses what BinFile::Open refuses
    // before reading, with the same messages.
    static base::Result<std::unique_ptr<FileFront>> Open(const std::string& path);

    int64_t Size() const override { return static_cast<int64_t>(file_.Size); }
    // Reads the file up to the view's end first. After a failed read, views
    // end where the bytes read end; Error() says why.
    std::string_view View(int64_t offset, size_t n) const override;

    // Empty, or why the file could not be read as far as a view asked
    // ("path: reason"); what was found in it then is not to be trusted.
    const std::string& Error() const { return error_; }
    // How many bytes of the front have been read.
    size_t BytesRead() const { return filled_; }

private:
    FileFront() = default;
    void ReadUpTo(size_t end) const;

    std::string path_;
    detail::OpenedFile file_;
    mutable size_t filled_ = 0;
    mutable std::string error_;
};

}  // namespace flashsmith::firmware
