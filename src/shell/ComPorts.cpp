#include "shell/ComPorts.h"

#include "base/FileHandle.h"
#include "phonelink/ComPortMap.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace flashsmith::shell {

std::string ComPortDevice(int n) { return phonelink::ComPortDevice(n); }

bool ComPortPresent(int n) {
    const std::string path = ComPortDevice(n);
    if (path.empty()) return false;
    if (base::UniqueFd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)).Valid()) return true;
    // In use by another program or not ours to open: the port is there.
    return errno == EACCES || errno == EBUSY || errno == EPERM;
}

std::vector<int> ListComPorts() {
    std::vector<int> out;
    for (int n = 1; n <= kComPortCount; ++n)
        if (ComPortPresent(n)) out.push_back(n);
    return out;
}

}  // namespace flashsmith::shell
