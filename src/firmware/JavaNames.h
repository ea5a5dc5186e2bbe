// Java suite names as the firmware stores them: an escaped form that keeps
// lower-case letters and digits, marks capitals with '#' and writes other
// bytes as "%00" + two hex digits.
#pragma once

#include <string>

namespace flashsmith::firmware {

std::string EscapeName(const std::string& text);
std::string UnescapeName(const std::string& text);

// Reads a JAD's MIDlet name and vendor; appends the JAR size and URL lines
// when jarPath names a file. Returns the escaped "vendor_name_suite" or "".
std::string JadSuiteName(const std::string& jadPath, const std::string& jarPath);

}  // namespace flashsmith::firmware
