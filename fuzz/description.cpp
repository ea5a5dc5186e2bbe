// Description files and language packs: the INI reader and the description
// fields read from it.
#include "firmware/Firmware.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const flashsmith::firmware::IniFile ini = flashsmith::firmware::IniFile::Parse(std::string(reinterpret_cast<const char*>(data), size));
    flashsmith::firmware::FirmwareState st;
    flashsmith::firmware::ReadDescription(st, ini);
    return 0;
}
