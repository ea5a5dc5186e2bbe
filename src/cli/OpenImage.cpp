#include "cli/OpenImage.h"

#include <iostream>

#include "base/FileUtil.h"
#include "firmware/Firmware.h"
#include "firmware/ProgramDir.h"

namespace flashsmith::cli {
using namespace flashsmith::base;
using namespace flashsmith::firmware;

const char* const kProfileOptionsUsage =
    "  --firmwares DIR   folder of description files (default: the program's Firmwares);\n"
    "                    a \"Firmwares\" folder beside the image is asked when it has none\n"
    "  --profile NAME    which of several description files to use\n"
    "  --sdf FILE        skip identification and read this description file\n";

void AddProfileOptions(ArgParser& parser) {
    parser.Option("--firmwares").Option("--profile").Option("--sdf");
}

int OpenImageForCli(const ArgParser& parser, const std::string& image, FirmwareState& state) {
    if (state.ProgramDir.empty()) {
        state.ProgramDir = DefaultProgramDir();
        state.TempDir = state.ProgramDir + "Temp/";
    }
    OpenOptions options;
    options.FirmwaresDir = parser.Get("--firmwares").value_or(state.ProgramDir + "Firmwares");
    options.SdfPath = parser.Get("--sdf").value_or("");
    auto wanted = parser.Get("--profile");
    options.ChooseProfile = [&](const std::vector<std::string>& names) {
        if (wanted) {
            auto it = std::find(names.begin(), names.end(), *wanted);
            if (it == names.end()) it = std::find(names.begin(), names.end(), *wanted + ".sdf");
            if (it != names.end()) return static_cast<int>(it - names.begin());
        }
        return -1;
    };
    if (!options.SdfPath.empty() && !FileExists(options.SdfPath))
        return Fail(options.SdfPath + ": no such description file");
    OpenResult r = OpenFirmware(state, image, options, TerminalProgress());
    switch (r.Status) {
        case OpenStatus::Ok: return kExitOk;
        case OpenStatus::FileError: return Fail(r.Error);
        case OpenStatus::NoModel: return Fail("not identified: no phone model in " + image);
        case OpenStatus::NoProfile:
            return Fail("no description file for version \"" + state.FirmwareDescription.Version + "\" in " +
                        options.FirmwaresDir + (r.BesideDir.empty() ? "" : " nor in " + r.BesideDir));
        case OpenStatus::Cancelled: {
            std::string names;
            for (const auto& n : r.Profiles) names += "\n  " + n;
            if (wanted) return Fail("no profile named " + *wanted + "; the version has:" + names);
            std::cerr << "error: several description files fit; choose one with --profile:" << names << "\n";
            return kExitUsage;
        }
        case OpenStatus::TableError: return Fail(r.Error);
    }
    return kExitFailed;
}

}  // namespace flashsmith::cli
