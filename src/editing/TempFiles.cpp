#include "editing/TempFiles.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

#include "editing/ResourceList.h"
#include "base/FileHandle.h"
#include "base/FileUtil.h"


namespace flashsmith::editing {
using namespace flashsmith::base;
using namespace flashsmith::firmware;

std::string ReplacementName(int32_t category, int32_t index) {
    switch (category) {
        case kCatImages: return "tmpImage_" + std::to_string(index);
        case kCatSounds: return "tmpSound_" + std::to_string(index);
        case kCatJava: return "tmpJava_" + std::to_string(index);
        default: return {};
    }
}

std::string TempPath(const FirmwareState& st, const std::string& name) { return JoinPath(st.TempDir, name); }

Status EnsureTempDir(const FirmwareState& st) {
    if (st.TempDir.empty()) return Status::Fail("no temporary folder is set");
    std::error_code ec;
    std::filesystem::create_directories(st.TempDir, ec);
    if (!DirExists(st.TempDir))
        return Status::Fail(st.TempDir + ": cannot create the folder" + (ec ? ": " + ec.message() : ""));
    return {};
}

int64_t ReplacementDataSize(const FirmwareState& st, int32_t category, const std::string& tempName) {
    if (tempName.empty()) return -1;
    int64_t size = FileSizeOf(TempPath(st, tempName));
    if (size < 0) return -1;
    if (category == kCatImages) return size < 4 ? -1 : size - 4;
    return size;
}

bool ReadPictureHeader(const std::string& path, int32_t* width, int32_t* height) {
    const UniqueFile f = OpenFile(path, "rb");
    unsigned char h[4];
    if (!f || std::fread(h, 1, 4, f.get()) != 4) return false;
    *width = h[0] | h[1] << 8;
    *height = h[2] | h[3] << 8;
    return true;
}

EditStatus ReadSourceFile(const std::string& path, std::string& bytes, std::string* detail) {
    struct stat sb{};
    if (::stat(path.c_str(), &sb) != 0) {
        if (detail) *detail = path + ": " + std::strerror(errno);
        return EditStatus::SourceUnreadable;
    }
    if (!S_ISREG(sb.st_mode)) {
        if (detail) *detail = path + ": not a regular file";
        return EditStatus::SourceUnreadable;
    }
    if (sb.st_size > kMaxSourceSize) {
        if (detail) *detail = path + ": " + std::to_string(sb.st_size) + " bytes";
        return EditStatus::SourceTooLarge;
    }
    if (!ReadWholeFile(path, bytes).Ok(detail)) return EditStatus::SourceUnreadable;
    if (static_cast<int64_t>(bytes.size()) > kMaxSourceSize) {  // grew while reading
        if (detail) *detail = path + ": " + std::to_string(bytes.size()) + " bytes";
        return EditStatus::SourceTooLarge;
    }
    return EditStatus::Ok;
}

namespace {
std::string ExtensionOf(const std::string& path, const char* delimiters) {
    size_t p = path.find_last_of(std::string(".") + delimiters);
    if (p == std::string::npos || path[p] != '.') return {};
    return path.substr(p);
}
}  // namespace

std::string HostExtension(const std::string& path) { return ExtensionOf(path, "/"); }
std::string FirmwareExtension(const std::string& path) { return ExtensionOf(path, "\\:"); }

}  // namespace flashsmith::editing
