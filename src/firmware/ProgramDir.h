// Where the program keeps its folders ("Temp", "Firmwares", settings).
#pragma once

#include <string>

namespace fs {

// The executable's folder when it is writable, else
// $XDG_DATA_HOME/flashsmith/ (~/.local/share/flashsmith/). Ends in '/'.
std::string DefaultProgramDir();

}  // namespace fs
