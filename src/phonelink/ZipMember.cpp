#include "phonelink/ZipMember.h"

#include <zip.h>

#include "base/FileUtil.h"
#include "base/Text.h"

namespace flashsmith::phonelink {
using namespace flashsmith::base;

namespace {

std::string Normalized(std::string name) {
    for (char& c : name)
        if (c == '\\') c = '/';
    return UpperAscii(name);
}

// A manifest is a few lines; this bounds what a hostile archive can make us hold.
constexpr zip_uint64_t kMaxMemberSize = 16u << 20;

}  // namespace

std::string ExtractZipMember(const std::string& archive, const std::string& memberName, const std::string& folder) {
    int error = 0;
    zip_t* z = zip_open(archive.c_str(), ZIP_RDONLY, &error);
    if (!z) return {};
    const std::string wanted = Normalized(memberName);
    std::string data;
    bool found = false, ok = false;
    const zip_int64_t count = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < count && !found; ++i) {
        const char* name = zip_get_name(z, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        if (!name || Normalized(name) != wanted) continue;
        found = true;
        zip_file_t* f = zip_fopen_index(z, static_cast<zip_uint64_t>(i), 0);
        if (!f) break;
        char buf[8192];
        ok = true;
        for (;;) {
            const zip_int64_t n = zip_fread(f, buf, sizeof buf);
            if (n < 0 || data.size() + static_cast<size_t>(n) > kMaxMemberSize) {
                ok = false;
                break;
            }
            if (n == 0) break;
            data.append(buf, static_cast<size_t>(n));
        }
        // A CRC mismatch shows up when the member is closed.
        if (zip_fclose(f) != 0) ok = false;
    }
    zip_discard(z);
    if (!ok) return {};
    std::string base = memberName;
    if (size_t p = base.find_last_of("/\\"); p != std::string::npos) base.erase(0, p + 1);
    const std::string path = JoinPath(folder, base);
    if (!WriteFileAtomic(path, data)) return {};
    return path;
}

}  // namespace flashsmith::phonelink
