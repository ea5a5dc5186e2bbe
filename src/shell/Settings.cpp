#include "shell/Settings.h"

#include <charconv>

#include "base/Cp1251.h"
#include "base/Text.h"

namespace flashsmith::shell {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::xml;

namespace {

// A whole decimal number, optionally signed and blank-padded.
std::optional<int> Decimal(const std::string& text) {
    std::string_view t = TrimBlanks(text);
    if (!t.empty() && t[0] == '+') t.remove_prefix(1);
    int value = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<WindowGeometry> ParseWindowState(const std::string& text) {
    if (text.find(';') == std::string::npos) return std::nullopt;
    WindowGeometry g;
    std::string rest = text;
    auto next = [&rest](int def) {
        const size_t semi = rest.find(';');
        const std::string part = semi == std::string::npos ? rest : rest.substr(0, semi);
        rest = semi == std::string::npos ? std::string() : rest.substr(semi + 1);
        return Decimal(part).value_or(def);
    };
    g.Width = next(780);
    g.Height = next(560);
    g.Left = next(1);
    // The top is whatever remains, ";" and all.
    g.Top = Decimal(rest).value_or(1);
    return g;
}

std::string FormatWindowState(const WindowGeometry& g) {
    return std::to_string(g.Width) + ";" + std::to_string(g.Height) + ";" + std::to_string(g.Left) + ";" +
           std::to_string(g.Top);
}

std::vector<std::string> SplitRegionTexts(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t semi; (semi = text.find(';', start)) != std::string::npos; start = semi + 1)
        out.push_back(text.substr(start, semi - start));
    return out;
}

std::vector<tResourceIDType> ReadImageIdNames(const TGmXmlNode* imageId) {
    std::vector<tResourceIDType> names(1);
    if (!imageId) return names;
    for (const auto& child : imageId->Children()) {
        std::string tag = child->Name();
        for (char& c : tag) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (tag != "id") continue;
        const TGmXmlAttribute* val = child->Attributes().AttributeByName("val");
        const TGmXmlAttribute* name = child->Attributes().AttributeByName("name");
        if (!val || !name) continue;
        const int n = Decimal(val->Value()).value_or(0);
        const std::string trimmed(TrimBlanks(name->Value()));
        // Image IDs are 16-bit; a larger number is a typo, not a reason to
        // grow the table to gigabytes.
        if (n < 1 || n > 0xFFFF || trimmed.empty()) continue;
        if (names.size() < static_cast<size_t>(n) + 1) names.resize(static_cast<size_t>(n) + 1);
        names[static_cast<size_t>(n)].Name = trimmed;
    }
    return names;
}

TGmXmlNode& FindOrAddTop(TGmXML& doc, const std::string& name) {
    if (TGmXmlNode* n = doc.Nodes().NodeByName(name)) return *n;
    return doc.Nodes().Add(name);
}

TGmXmlNode& FindOrAddChild(TGmXmlNode& parent, const std::string& name) {
    if (TGmXmlNode* n = parent.Children().NodeByName(name)) return *n;
    return parent.Children().Add(name);
}

std::optional<std::string> PackText(const IniFile& pack, const std::string& section, const std::string& key) {
    const std::optional<std::string> value = pack.Value(section, key);
    if (!value || value->empty()) return std::nullopt;
    std::string text = Utf8FromAnsi(*value);
    for (size_t bar; (bar = text.find('|')) != std::string::npos;) text.replace(bar, 1, "\n");
    return text;
}

std::string PackLanguageName(const IniFile& pack) {
    return Utf8FromAnsi(pack.Text("LanguagePack", "Language", ""));
}

}  // namespace flashsmith::shell
