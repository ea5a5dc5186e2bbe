// ZIP archives (Java applications) from which the manifest is read.
#include <string>
#include <unistd.h>

#include "base/FileUtil.h"
#include "phonelink/ZipMember.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/fuzz_zip.XXXXXX";
        return std::string(::mkdtemp(tmpl));
    }();
    const std::string archive = dir + "/in.jar";
    std::string error;
    if (!flashsmith::base::WriteFileAtomic(archive, std::string(reinterpret_cast<const char*>(data), size)).Ok(&error)) return 0;
    const std::string out = flashsmith::phonelink::ExtractZipMember(archive, "META-INF/MANIFEST.MF", dir);
    if (!out.empty()) ::unlink(out.c_str());
    return 0;
}
