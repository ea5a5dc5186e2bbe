// The in-memory model of the one firmware image open for editing.
#pragma once

#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "base/AddressRange.h"
#include "base/Progress.h"
#include "firmware/BinFile.h"

namespace flashsmith::firmware {

struct tFirmwareDescription {
    std::string PhoneModel;  // at most 16 characters
    std::string Version;     // at most 16 characters
    int32_t VersionAddr = 0;
    int32_t Transparent = 0;  // 0x00BBGGRR
    int32_t ImageTable = 0;
    int32_t SoundTable = 0;
    int32_t JavaTable = 0;
    int32_t LanguageTable1 = 0;
    int32_t LanguageTable2 = 0;
    int32_t SndTableLength = 0;
    int32_t JavaTableLength = 0;
    int32_t LanguageCount = 0;
    int32_t SndTableSizeOfs = 0;
    int32_t SndTableVolOfs = 0;
    int32_t StartAddr = 0;
};

enum ImgKind : int32_t { kRaw8 = 1, kRaw16 = 2, kWbmp = 3, k09 = 4 };

struct tImgType {
    std::string TempName;
    int32_t Size = 0;
    int32_t Address = 0;
    int32_t Kind = k09;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Link = -1;
    int32_t ID = -1;
    int32_t TranspColor = 0;  // 0x00BBGGRR
    bool Deleted = false;
    bool HasTransp = false;
};

struct tSndType {
    std::string TempName;
    int32_t Size = 0;
    int32_t Address = 0;
    int32_t Link = -1;
    bool Deleted = false;
};

struct tJavaType {
    std::string TempName;
    std::string Path;     // escaped form, as stored
    std::string NewPath;  // escaped form
    int32_t Size = 0;
    int32_t Address = 0;
    bool Deleted = false;
};

struct tStringType {
    std::string Text;     // stored bytes (UTF-8)
    std::string NewText;  // edited bytes; empty = not edited
    uint32_t Address = 0;
    int32_t Link = -1;
    int32_t HomeLang = -1;
    bool Deleted = false;
};
using pStringType = std::vector<tStringType>;

struct LanguageHeader {
    uint32_t TableAddr = 0;
    int32_t Count = 0;
};

// A region of the description file and the bytes its entries take now.
struct MemoryRegion {
    base::AddressRange Range;
    int32_t Used = 0;
};

constexpr int kRegionCount = 64;

struct tFirmware {
    std::vector<tImgType> Images;
    std::vector<tSndType> Sounds;
    std::vector<tJavaType> JavaApps;
    std::vector<pStringType> Strings1;
    std::vector<pStringType> Strings2;
    std::vector<LanguageHeader> LangHeaders1;
    std::vector<LanguageHeader> LangHeaders2;
    std::vector<MemoryRegion> Regions;

    // The region at index; nullptr outside the table.
    const MemoryRegion* RegionAt(int32_t index) const {
        return index >= 0 && index < std::ssize(Regions) ? &Regions[index] : nullptr;
    }
    MemoryRegion* RegionAt(int32_t index) {
        return index >= 0 && index < std::ssize(Regions) ? &Regions[index] : nullptr;
    }
};

struct tResourceIDType {
    std::string Name;
};

// Everything the editor keeps about the open firmware. The GUI holds one
// instance for the whole run; tests and the CLI make their own.
struct FirmwareState {
    tFirmwareDescription FirmwareDescription;
    tFirmware Firmware;
    // Shared so that a background reader keeps the bytes it works on when
    // another image is opened.
    std::shared_ptr<BinFile> FirmwareFile;
    std::string FirmwarePath;  // host path of the open image
    std::string ProfilePath;   // description file the open used
    bool FirmwareLoaded = false;
    int32_t SelectedRegion = -1;
    int32_t DeletedSoundCount = 0;
    std::string ProgramDir;  // ends in '/'
    std::string TempDir;     // ProgramDir + "Temp/"
    std::vector<tResourceIDType> ImageIdNames;
};

}  // namespace flashsmith::firmware
