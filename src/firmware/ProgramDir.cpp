#include "firmware/ProgramDir.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "base/FileUtil.h"

namespace flashsmith::firmware {

namespace {

std::string ExecutableDir() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string exe(buf, static_cast<size_t>(n));
    return base::FolderOf(exe);
}

}  // namespace

std::string DefaultProgramDir() {
    // An installed program never writes beside its executable, not even
    // when run by root, who may write anywhere.
    const std::string exeDir = ExecutableDir();
    if (!exeDir.empty() && SharedDataDir().empty() && ::access(exeDir.c_str(), W_OK) == 0) return exeDir;
    std::string base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home) base = std::string(home) + "/.local/share";
    else base = "/tmp";
    std::string dir = base + "/flashsmith/";
    ::mkdir(base.c_str(), 0777);
    ::mkdir(dir.c_str(), 0777);
    return dir;
}

std::string SharedDataDir() {
    const std::string exe = ExecutableDir();
    if (exe.empty()) return {};
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::path(exe) / FLASHSMITH_SHARED_DATA_FROM_BIN;
    if (!std::filesystem::is_directory(dir, ec)) return {};
    std::string out = std::filesystem::weakly_canonical(dir, ec).string();
    if (ec || out.empty()) return {};
    return out.back() == '/' ? out : out + '/';
}

void CopySharedLanguagePacks(const std::string& programDir) {
    const std::string shared = SharedDataDir();
    if (shared.empty() || programDir.empty()) return;
    namespace sfs = std::filesystem;
    std::error_code ec;
    if (sfs::equivalent(shared, programDir, ec)) return;
    for (sfs::directory_iterator it(shared, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() != ".lng" || !it->is_regular_file(ec)) continue;
        const sfs::path target = sfs::path(programDir) / it->path().filename();
        std::error_code copyError;
        if (!sfs::exists(target, copyError)) sfs::copy_file(it->path(), target, copyError);
    }
}

}  // namespace flashsmith::firmware
