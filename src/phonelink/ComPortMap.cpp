#include "phonelink/ComPortMap.h"

#include <cstdlib>
#include <map>

#include "base/Numbers.h"

namespace flashsmith::phonelink {
using namespace flashsmith::base;

namespace {

std::map<int, std::string> AttachedPorts() {
    std::map<int, std::string> out;
    const char* env = std::getenv("FLASHSMITH_COMPORTS");
    if (!env) return out;
    std::string text = env;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find_first_of(";,", pos);
        if (end == std::string::npos) end = text.size();
        std::string item = text.substr(pos, end - pos);
        pos = end + 1;
        const size_t eq = item.find('=');
        if (eq == std::string::npos) continue;
        const int n = ComPortNumberFromName(item.substr(0, eq));
        std::string path = item.substr(eq + 1);
        if (n > 0 && !path.empty()) out[n] = path;
    }
    return out;
}

}  // namespace

int ComPortNumberFromName(const std::string& name) {
    if (name.size() < 4 || (name.compare(0, 3, "COM") != 0 && name.compare(0, 3, "com") != 0)) return 0;
    const auto n = ParseDigits(std::string_view(name).substr(3), 10);
    if (!n || *n < 1 || *n > static_cast<uint64_t>(kComPortCount)) return 0;
    return static_cast<int>(*n);
}

std::string ComPortDevice(int n) {
    if (n < 1 || n > kComPortCount) return {};
    auto attached = AttachedPorts();
    if (auto it = attached.find(n); it != attached.end()) return it->second;
    if (n <= 32) return "/dev/ttyS" + std::to_string(n - 1);
    if (n <= 48) return "/dev/ttyUSB" + std::to_string(n - 33);
    return "/dev/ttyACM" + std::to_string(n - 49);
}

}  // namespace flashsmith::phonelink
