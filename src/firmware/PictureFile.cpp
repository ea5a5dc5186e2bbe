#include "firmware/PictureFile.h"

#include "base/FileUtil.h"

namespace flashsmith::firmware {
using namespace flashsmith::base;

namespace {

// A file's picture through decode; a failure names the file.
Result<Picture> LoadWith(const std::string& path, Result<Picture> (*decode)(std::string_view)) {
    std::string bytes;
    if (Status read = ReadWholeFile(path, bytes); !read) return read;
    Result<Picture> picture = decode(bytes);
    if (!picture) return Status::Fail(path + ": " + picture.Error());
    return picture;
}

Status SaveEncoded(const std::string& path, const Result<std::string>& encoded) {
    if (!encoded) return Status::Fail(path + ": " + encoded.Error());
    return WriteFileAtomic(path, *encoded);
}

Result<Picture> NotAPicture(std::string_view) {
    return Status::Fail("not a Windows bitmap, JPEG, PNG or GIF file");
}

}  // namespace

Result<Picture> LoadBmp(const std::string& path) { return LoadWith(path, LoadBmpBytes); }
Result<Picture> LoadJpeg(const std::string& path) { return LoadWith(path, LoadJpegBytes); }

Result<Picture> LoadPictureFile(const std::string& path) {
    return LoadWith(path, [](std::string_view bytes) {
        const auto starts = [bytes](std::string_view magic) { return bytes.substr(0, magic.size()) == magic; };
        if (starts("BM")) return LoadBmpBytes(bytes);
        if (starts("\xFF\xD8")) return LoadJpegBytes(bytes);
        if (starts("\x89PNG")) return LoadPngBytes(bytes);
        if (starts("GIF8")) return LoadGifBytes(bytes);
        return NotAPicture(bytes);
    });
}

Status SaveBmp32(const std::string& path, const Picture& picture) {
    return SaveEncoded(path, EncodeBmp32(picture));
}

Status SaveJpeg(const std::string& path, const Picture& picture, int quality) {
    return SaveEncoded(path, EncodeJpeg(picture, quality));
}

Status SavePng(const std::string& path, const Picture& picture) { return SaveEncoded(path, EncodePng(picture)); }

}  // namespace flashsmith::firmware
