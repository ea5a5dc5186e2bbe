// The CLI's --json output: nlohmann's JSON with keys in the order written,
// printed compact on one line. The core structs the CLI shows whole have one
// to_json each, here, so every subcommand writes them the same way.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "firmware/Variables.h"
#include "patches/PatchReader.h"
#include "sound/Smaf.h"

namespace flashsmith::cli {

using Json = nlohmann::ordered_json;

// Firmware, phone and file-name texts are bytes of any encoding: each byte
// becomes the code point of the same value, which keeps them recoverable
// exactly.
std::string ByteText(const std::string& bytes);
// Patch and settings texts are Windows-1251: the characters they stand for.
std::string AnsiText(const std::string& ansi);

// The value on one line of stdout.
void PrintJson(const Json& value);

}  // namespace flashsmith::cli

// nlohmann finds each to_json by argument-dependent lookup: it lives in the
// namespace of the struct it writes.
namespace flashsmith::firmware {

void to_json(cli::Json& j, const tFirmwareDescription& d);
void to_json(cli::Json& j, const MemoryRegion& r);
void to_json(cli::Json& j, const tImgType& e);
void to_json(cli::Json& j, const tSndType& e);
void to_json(cli::Json& j, const tJavaType& e);
void to_json(cli::Json& j, const LanguageHeader& h);
void to_json(cli::Json& j, const tStringType& s);

}  // namespace flashsmith::firmware

namespace flashsmith::patches {

void to_json(cli::Json& j, const PatchAuthor& a);

}  // namespace flashsmith::patches

namespace flashsmith::sound {

void to_json(cli::Json& j, const TrackInfo& t);
void to_json(cli::Json& j, const SmafInfo& info);

}  // namespace flashsmith::sound
