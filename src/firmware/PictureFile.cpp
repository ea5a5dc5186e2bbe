#include "firmware/PictureFile.h"

#include "firmware/FileUtil.h"

namespace fs {

bool LoadPictureFile(const std::string& path, Picture& out, std::string* error) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes, error)) return false;
    std::string why;
    bool ok;
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M')
        ok = LoadBmpBytes(bytes, out, &why);
    else if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xD8)
        ok = LoadJpegBytes(bytes, out, &why);
    else {
        ok = false;
        why = "neither a Windows bitmap nor a JPEG file";
    }
    if (!ok && error) *error = path + ": " + why;
    return ok;
}

}  // namespace fs
