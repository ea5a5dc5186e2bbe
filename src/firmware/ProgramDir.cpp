#include "firmware/ProgramDir.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace fs {

std::string DefaultProgramDir() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) {
        std::string exe(buf, static_cast<size_t>(n));
        std::string dir = exe.substr(0, exe.find_last_of('/') + 1);
        if (!dir.empty() && ::access(dir.c_str(), W_OK) == 0) return dir;
    }
    std::string base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home) base = std::string(home) + "/.local/share";
    else base = "/tmp";
    std::string dir = base + "/flashsmith/";
    ::mkdir(base.c_str(), 0777);
    ::mkdir(dir.c_str(), 0777);
    return dir;
}

}  // namespace fs
