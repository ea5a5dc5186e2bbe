// Description files and language packs: the INI reader and the description
// fields read from it.
#include "firmware/Firmware.h"

using namespace flashsmith::firmware;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const IniFile ini = IniFile::Parse(std::string(reinterpret_cast<const char*>(data), size));
    FirmwareState st;
    ReadDescription(st, ini);
    return 0;
}
