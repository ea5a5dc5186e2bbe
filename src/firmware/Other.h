// Small helpers shared by every layer: hexadecimal texts, the 8-bit/UTF-8
// conversions of language strings, Java name escaping, file ranges and the
// byte-pattern search over an image.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

#include "firmware/BinFile.h"
#include "firmware/Variables.h"

namespace flashsmith {

// "0x" and eight upper-case digits.
std::string HexStr(uint32_t value);
// "00" .. "FF", built once.
const std::array<std::string, 256>& HexByteTable();

// The 8-bit texts of settings, patches and language packs are Windows-1251.
std::string Utf8FromAnsi(const std::string& ansi);
// Invalid UTF-8 (or sequences longer than three bytes) gives an empty text;
// characters the code page lacks become '?'.
std::string AnsiFromUtf8(const std::string& utf8);

// -1 when the file cannot be opened.
int64_t FileSizeOf(const std::string& path);
// Copies count bytes (0 = the whole source) from source offset to target
// offset; returns the bytes copied.
int64_t CopyFileRange(std::FILE* source, std::FILE* target, int64_t sourceOffset, int64_t count,
                      int64_t targetOffset);

std::string EscapeName(const std::string& text);
std::string UnescapeName(const std::string& text);

// ASCII letters only: firmware paths and keywords are compared this way
// whatever the locale.
std::string UpperAscii(std::string text);
// Without leading and trailing blanks and control characters.
std::string TrimBlanks(const std::string& text);

// One line up to CR or LF (excluded); a CR LF / LF CR pair is consumed whole.
std::string ReadTextLine(std::FILE* file);

// Reads a JAD's MIDlet name and vendor; appends the JAR size and URL lines
// when jarPath names a file. Returns the escaped "vendor_name_suite" or "".
std::string JadSuiteName(const std::string& jadPath, const std::string& jarPath);

// Offset of the first occurrence at or after start, -1 when none.
int64_t FindPattern(const BinFile& file, int64_t start, const std::string& pattern,
                    ProgressSink& progress);

}  // namespace flashsmith
