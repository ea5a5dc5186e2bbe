// Reading one member out of a ZIP archive (a Java application's manifest).
#pragma once

#include <string>

namespace flashsmith::phonelink {

// Extracts the member named like memberName (letters in any case, '/' or
// '\' as separator) into folder under its last name component, replacing a
// file of that name only once the member was read whole. Returns the path
// written, "" when the archive or the member cannot be read.
std::string ExtractZipMember(const std::string& archive, const std::string& memberName, const std::string& folder);

}  // namespace flashsmith::phonelink
