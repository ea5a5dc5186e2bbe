// Description files and language packs: the INI reader and the description
// fields read from it.
#include "firmware/Firmware.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const flashsmith::IniFile ini = flashsmith::IniFile::Parse(std::string(reinterpret_cast<const char*>(data), size));
    flashsmith::FirmwareState st;
    flashsmith::ReadDescription(st, ini);
    return 0;
}
