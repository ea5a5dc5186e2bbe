// INI texts as description files and language packs use them: section and
// key names without regard to case, the first occurrence counts, values
// trimmed and unquoted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace flashsmith::firmware {

class IniFile {
public:
    static IniFile Parse(const std::string& text);
    // A missing or unreadable file gives an empty document.
    static IniFile Load(const std::string& path);

    std::optional<std::string> Value(const std::string& section, const std::string& key) const;
    std::string Text(const std::string& section, const std::string& key, const std::string& def) const;
    // Numbers: blanks, sign, decimal digits or "$", "x", "X", "0x", "0X" and
    // hexadecimal digits; anything else gives def.
    int64_t Int64(const std::string& section, const std::string& key, int64_t def) const;
    int32_t Int32(const std::string& section, const std::string& key, int32_t def) const;
    bool HasSection(const std::string& section) const;

private:
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> sections_;
};

// The number syntax of description files; nullopt when unreadable.
std::optional<int64_t> ParseIniInt64(const std::string& text);
std::optional<int32_t> ParseIniInt32(const std::string& text);

}  // namespace flashsmith::firmware
