#include "shell/ComPorts.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <unistd.h>

namespace fs::shell {

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
        if (eq == std::string::npos || eq < 4) continue;
        std::string name = item.substr(0, eq);
        if (name.size() < 4 || (name.compare(0, 3, "COM") != 0 && name.compare(0, 3, "com") != 0)) continue;
        char* stop = nullptr;
        const long n = std::strtol(name.c_str() + 3, &stop, 10);
        if (*stop != '\0' || n < 1 || n > kComPortCount) continue;
        std::string path = item.substr(eq + 1);
        if (!path.empty()) out[static_cast<int>(n)] = path;
    }
    return out;
}

}  // namespace

std::string ComPortDevice(int n) {
    if (n < 1 || n > kComPortCount) return {};
    auto attached = AttachedPorts();
    if (auto it = attached.find(n); it != attached.end()) return it->second;
    if (n <= 32) return "/dev/ttyS" + std::to_string(n - 1);
    if (n <= 48) return "/dev/ttyUSB" + std::to_string(n - 33);
    return "/dev/ttyACM" + std::to_string(n - 49);
}

bool ComPortPresent(int n) {
    const std::string path = ComPortDevice(n);
    if (path.empty()) return false;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    // In use by another program or not ours to open: the port is there.
    return errno == EACCES || errno == EBUSY || errno == EPERM;
}

std::vector<int> ListComPorts() {
    std::vector<int> out;
    for (int n = 1; n <= kComPortCount; ++n)
        if (ComPortPresent(n)) out.push_back(n);
    return out;
}

}  // namespace fs::shell
