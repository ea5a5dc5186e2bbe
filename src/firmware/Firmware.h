// Identification of an image, description files, and the resource tables.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "firmware/BinFile.h"
#include "firmware/Images.h"
#include "firmware/IniFile.h"
#include "firmware/Variables.h"

namespace flashsmith::firmware {

constexpr int64_t kSampledImageSize = 52428800;  // larger dumps may begin with an empty area

// The searches that identify an image; each stops at its first hit, so on a
// FileFront they read no further than that.
int64_t FindStartAddr(const ByteSource& file, base::ProgressSink& progress);
std::string FindPhoneModel(const ByteSource& file, int64_t start, base::ProgressSink& progress);
struct FoundVersion {
    std::string Version;
    int64_t Address = -1;
};
FoundVersion FindVersion(const ByteSource& file, const std::string& model, int64_t start, base::ProgressSink& progress);
// Names (no folder) of the description files for a version in firmwaresDir:
// "<version>.sdf" first, then "<version>_*.sdf" sorted; at most 128.
std::vector<std::string> FindProfiles(const std::string& firmwaresDir, const std::string& version);

// Fills FirmwareDescription and the 64 Regions from a description file.
void ReadDescription(FirmwareState& state, const IniFile& description);
void ReadDescription(FirmwareState& state, const std::string& path);

enum TableFlags { kTablePictures = 1, kTableSounds = 2, kTableJava = 4, kTableLang1 = 8, kTableLang2 = 16 };

struct ParseResult {
    int Flags = 0;
    bool Ok = true;
    std::string Error;  // why the open ends (a read past the end of the file)
};
// Reads the tables of the open FirmwareFile into Firmware; expects the
// description to be read and the arrays to be empty.
ParseResult ParseTables(FirmwareState& state, const IniFile& description);

// Size of a picture entry as the tables count it (0 for an unknown kind).
int32_t PictureSize(const BinFile& file, const tImgType& image);
// The same with the "09" walks of one table sharing a measurer; nullopt when
// its budget is spent.
std::optional<int32_t> PictureSize(PictureMeasurer& measurer, const tImgType& image);

// The open sequence without a window.
enum class OpenStatus {
    Ok,
    FileError,      // the image cannot be opened
    NoModel,        // no "SGH-" model marker
    NoProfile,      // no description file for the version
    Cancelled,      // several profiles and no choice
    TableError,     // a table reads past the end of the file
};
struct OpenOptions {
    // Where FindProfiles looks first; when it has nothing for the version,
    // the "Firmwares" folder beside the image is asked too.
    std::string FirmwaresDir;
    std::string SdfPath;       // when set: skip identification, read this file
    // Picks one of several profile names; returns its index or -1.
    std::function<int(const std::vector<std::string>&)> ChooseProfile;
};
struct OpenResult {
    OpenStatus Status = OpenStatus::Ok;
    std::string Error;
    std::vector<std::string> Profiles;  // names found by FindProfiles
    std::string FirmwaresDir;           // the folder the profiles were found in
    std::string BesideDir;              // the image's own "Firmwares", when it was asked
};
// The "Firmwares" folder beside an image.
std::string BesideFirmwaresDir(const std::string& imagePath);
OpenResult OpenFirmware(FirmwareState& state, const std::string& path, const OpenOptions& options,
                        base::ProgressSink& progress);

// Empties everything an open fills (the tables, the loaded flag, counters).
void ResetFirmware(FirmwareState& state);

}  // namespace flashsmith::firmware
