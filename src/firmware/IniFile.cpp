#include "firmware/IniFile.h"

#include "base/FileUtil.h"
#include "base/Numbers.h"
#include "base/Text.h"

namespace flashsmith::firmware {
using namespace flashsmith::base;

namespace {

std::string Lower(std::string_view s) { return LowerAscii(std::string(s)); }
std::string Trim(std::string_view s) { return std::string(TrimSpaces(s)); }

// Hexadecimal numbers may fill all bits of the width (so "$FFFFFFFF" is -1
// as a 32-bit value); decimal ones must fit the signed range.
std::optional<int64_t> ParseInt(const std::string& text, int bits) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    const NumberParts p =
        SplitNumber(std::string_view(text).substr(i), kNumberSign | kNumberDollar | kNumberBareX | kNumber0x);
    const uint64_t unsignedMax = bits == 64 ? UINT64_MAX : 0xFFFFFFFFull;
    const uint64_t signedMax = bits == 64 ? static_cast<uint64_t>(INT64_MAX) : 0x7FFFFFFFull;
    const auto v = ParseDigits(p.digits, p.hex ? 16 : 10);
    if (!v || *v > (p.hex ? unsignedMax : signedMax + (p.negative ? 1 : 0))) return std::nullopt;
    int64_t value;
    if (bits == 64) value = static_cast<int64_t>(*v);
    else value = static_cast<int32_t>(static_cast<uint32_t>(*v));
    if (p.negative) value = static_cast<int64_t>(0ull - static_cast<uint64_t>(value));
    if (bits == 32) value = static_cast<int32_t>(static_cast<uint32_t>(value));
    return value;
}

}  // namespace

std::optional<int64_t> ParseIniInt64(const std::string& text) { return ParseInt(text, 64); }

std::optional<int32_t> ParseIniInt32(const std::string& text) {
    auto v = ParseInt(text, 32);
    if (!v) return std::nullopt;
    return static_cast<int32_t>(*v);
}

IniFile IniFile::Parse(const std::string& text) {
    IniFile ini;
    std::unordered_map<std::string, std::string>* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        std::string line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty()) continue;
        if (line.front() == '[') {
            size_t close = line.find(']');
            if (close == std::string::npos) continue;
            std::string name = Lower(Trim(line.substr(1, close - 1)));
            auto [it, added] = ini.sections_.try_emplace(name);
            // Keys of a repeated section are not seen: the first occurrence counts.
            current = added ? &it->second : nullptr;
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos || !current) continue;
        std::string key = Lower(Trim(line.substr(0, eq)));
        if (key.empty()) continue;
        std::string value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        current->try_emplace(key, value);
    }
    return ini;
}

IniFile IniFile::Load(const std::string& path) {
    std::string text;
    if (!ReadWholeFile(path, text)) return {};
    return Parse(text);
}

std::optional<std::string> IniFile::Value(const std::string& section, const std::string& key) const {
    auto s = sections_.find(Lower(section));
    if (s == sections_.end()) return std::nullopt;
    auto k = s->second.find(Lower(key));
    if (k == s->second.end()) return std::nullopt;
    return k->second;
}

std::string IniFile::Text(const std::string& section, const std::string& key, const std::string& def) const {
    auto v = Value(section, key);
    return v && !v->empty() ? *v : def;
}

int64_t IniFile::Int64(const std::string& section, const std::string& key, int64_t def) const {
    auto v = Value(section, key);
    if (!v) return def;
    auto n = ParseIniInt64(*v);
    return n ? *n : def;
}

int32_t IniFile::Int32(const std::string& section, const std::string& key, int32_t def) const {
    auto v = Value(section, key);
    if (!v) return def;
    auto n = ParseIniInt32(*v);
    return n ? *n : def;
}

bool IniFile::HasSection(const std::string& section) const {
    return sections_.count(Lower(section)) != 0;
}

}  // namespace flashsmith::firmware
