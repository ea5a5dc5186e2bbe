// The open sequence as the CLI runs it, shared by every subcommand that takes
// an image and the profile options --firmwares, --profile and --sdf.
#pragma once

#include "cli/Command.h"
#include "cli/TerminalProgress.h"
#include "firmware/Variables.h"

namespace flashsmith::cli {

// Declares --firmwares, --profile and --sdf on a parser.
void AddProfileOptions(ArgParser& parser);
extern const char* const kProfileOptionsUsage;

// Opens image into state. Returns kExitOk, or the exit code after printing
// the error (1: unreadable, not identified, no profile; 2: several profiles
// and no --profile).
int OpenImageForCli(const ArgParser& parser, const std::string& image, firmware::FirmwareState& state);

}  // namespace flashsmith::cli
