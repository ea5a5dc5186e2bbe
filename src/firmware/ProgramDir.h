// Where the program keeps its folders ("Temp", "Firmwares", settings).
#pragma once

#include <string>

namespace flashsmith::firmware {

// The executable's folder when it is writable and not an installed tree
// (see SharedDataDir), else $XDG_DATA_HOME/flashsmith/
// (~/.local/share/flashsmith/). Ends in '/'.
std::string DefaultProgramDir();

// The folder of the files an installed program ships (language packs):
// <prefix>/share/flashsmith/, found from the executable's folder so that an
// unpacked tree works as well as /usr. Ends in '/'; "" when the program does
// not run from an installed tree.
std::string SharedDataDir();

// Copies the shipped language packs ("*.lng") from SharedDataDir() into
// programDir where it has no file of that name, so the Language menu offers
// them; a pack the user changed stays as it is.
void CopySharedLanguagePacks(const std::string& programDir);

}  // namespace flashsmith::firmware
