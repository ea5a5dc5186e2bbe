#include "cli/Json.h"

#include <iostream>

#include "base/Cp1251.h"

namespace flashsmith::cli {
using namespace flashsmith::base;

std::string ByteText(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const unsigned char c : bytes) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string AnsiText(const std::string& ansi) { return Utf8FromAnsi(ansi); }

void PrintJson(const Json& value) {
    // Every text went through ByteText or AnsiText, so it is valid UTF-8;
    // replacing stays a safety net rather than an exception at the very end.
    std::cout << value.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
}

}  // namespace flashsmith::cli

namespace flashsmith::firmware {

using cli::ByteText;
using cli::Json;

void to_json(Json& j, const tFirmwareDescription& d) {
    j = Json{{"PhoneModel", ByteText(d.PhoneModel)},
             {"Version", ByteText(d.Version)},
             {"VersionAddr", d.VersionAddr},
             {"Transparent", d.Transparent},
             {"ImageTable", d.ImageTable},
             {"SoundTable", d.SoundTable},
             {"JavaTable", d.JavaTable},
             {"LanguageTable1", d.LanguageTable1},
             {"LanguageTable2", d.LanguageTable2},
             {"SndTableLength", d.SndTableLength},
             {"JavaTableLength", d.JavaTableLength},
             {"LanguageCount", d.LanguageCount},
             {"SndTableSizeOfs", d.SndTableSizeOfs},
             {"SndTableVolOfs", d.SndTableVolOfs},
             {"StartAddr", d.StartAddr}};
}

void to_json(Json& j, const MemoryRegion& r) { j = Json{{"Start", r.Range.Start}, {"Size", r.Range.Length}, {"Used", r.Used}}; }

void to_json(Json& j, const tImgType& e) {
    j = Json{{"TempName", ByteText(e.TempName)},
             {"Size", e.Size},
             {"Address", e.Address},
             {"Kind", e.Kind},
             {"Width", e.Width},
             {"Height", e.Height},
             {"Link", e.Link},
             {"ID", e.ID},
             {"TranspColor", e.TranspColor},
             {"Deleted", e.Deleted},
             {"HasTransp", e.HasTransp}};
}

void to_json(Json& j, const tSndType& e) {
    j = Json{{"TempName", ByteText(e.TempName)},
             {"Size", e.Size},
             {"Address", e.Address},
             {"Link", e.Link},
             {"Deleted", e.Deleted}};
}

void to_json(Json& j, const tJavaType& e) {
    j = Json{{"TempName", ByteText(e.TempName)},
             {"Path", ByteText(e.Path)},
             {"NewPath", ByteText(e.NewPath)},
             {"Size", e.Size},
             {"Address", e.Address},
             {"Deleted", e.Deleted}};
}

void to_json(Json& j, const LanguageHeader& h) { j = Json{{"TableAddr", h.TableAddr}, {"Count", h.Count}}; }

void to_json(Json& j, const tStringType& s) {
    j = Json{{"Text", ByteText(s.Text)},
             {"NewText", ByteText(s.NewText)},
             {"Address", s.Address},
             {"Link", s.Link},
             {"HomeLang", s.HomeLang},
             {"Deleted", s.Deleted}};
}

}  // namespace flashsmith::firmware

namespace flashsmith::patches {

using cli::Json;

void to_json(Json& j, const PatchAuthor& a) {
    j = Json{{"nick", a.hasNick ? Json(cli::AnsiText(a.nick)) : Json(nullptr)},
             {"e-mail", cli::AnsiText(a.email)},
             {"internet", cli::AnsiText(a.internet)},
             {"icq", cli::AnsiText(a.icq)}};
}

}  // namespace flashsmith::patches

namespace flashsmith::sound {

void to_json(cli::Json& j, const TrackInfo& t) {
    j = cli::Json{{"kind", TrackKindName(t.kind)}, {"number", t.number}, {"channels", t.channels}};
}

void to_json(cli::Json& j, const SmafInfo& info) {
    cli::Json warnings = cli::Json::array();
    for (const auto& w : info.warnings) warnings.push_back(cli::ByteText(w));
    j = cli::Json{{"format", FormatName(info.format)},
                  {"tracks", info.tracks},
                  {"voices", info.voices},
                  {"lengthMs", info.lengthMs},
                  {"title", cli::ByteText(info.title)},
                  {"artist", cli::ByteText(info.artist)},
                  {"copyright", cli::ByteText(info.copyright)},
                  {"crc", CrcName(info.crc)},
                  {"warnings", warnings}};
}

}  // namespace flashsmith::sound
