#include "editing/JavaPairs.h"

#include "editing/TempFiles.h"
#include "base/Text.h"

namespace flashsmith::editing {
using namespace flashsmith::base;
using namespace flashsmith::firmware;

bool IsJavaSuiteFile(const tJavaType& entry) {
    const std::string upper = UpperAscii(entry.Path);
    return upper.find(".JAR") != std::string::npos || upper.find(".JAD") != std::string::npos;
}

int32_t JavaPartner(const FirmwareState& st, int32_t index) {
    const auto& apps = st.Firmware.JavaApps;
    if (index < 0 || static_cast<size_t>(index) >= apps.size()) return -1;
    const std::string& path = apps[index].Path;
    const std::string stem = path.substr(0, path.size() >= 3 ? path.size() - 3 : 0);
    for (size_t j = 0; j < apps.size(); ++j)
        if (static_cast<int32_t>(j) != index && apps[j].Path.compare(0, stem.size(), stem) == 0)
            return static_cast<int32_t>(j);
    return -1;
}

}  // namespace flashsmith::editing
