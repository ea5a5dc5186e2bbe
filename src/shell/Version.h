// The program's name and version, fixed at build time.
#pragma once

#include <QString>

namespace flashsmith::shell {

// "Flashsmith".
QString ProductName();
// Four numbers joined by ".", e.g. "0.1.0.0".
QString ProductVersion();
// "Flashsmith v0.1.0.0": the main window's caption before a firmware opens.
QString ApplicationCaption();

}  // namespace flashsmith::shell
