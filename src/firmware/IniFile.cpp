#include "firmware/IniFile.h"

#include "firmware/FileUtil.h"

namespace flashsmith {

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

// Digits of one base, with overflow detection; nullopt on any other character.
std::optional<uint64_t> Digits(const std::string& s, size_t i, int base, uint64_t limit) {
    if (i >= s.size()) return std::nullopt;
    uint64_t v = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return std::nullopt;
        if (v > (limit - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base)) return std::nullopt;
        v = v * base + d;
    }
    return v;
}

// Hexadecimal numbers may fill all bits of the width (so "$FFFFFFFF" is -1
// as a 32-bit value); decimal ones must fit the signed range.
std::optional<int64_t> ParseInt(const std::string& text, int bits) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool neg = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) neg = text[i++] == '-';
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    const uint64_t unsignedMax = bits == 64 ? UINT64_MAX : 0xFFFFFFFFull;
    const uint64_t signedMax = bits == 64 ? static_cast<uint64_t>(INT64_MAX) : 0x7FFFFFFFull;
    auto v = Digits(text, i, base, base == 16 ? unsignedMax : signedMax + (neg ? 1 : 0));
    if (!v) return std::nullopt;
    int64_t value;
    if (bits == 64) value = static_cast<int64_t>(*v);
    else value = static_cast<int32_t>(static_cast<uint32_t>(*v));
    if (neg) value = static_cast<int64_t>(0ull - static_cast<uint64_t>(value));
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
    if (!ReadWholeFile(path, text, nullptr)) return {};
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

}  // namespace flashsmith
