// flashsmith-cli patch: patch file (.spf) commands. Each verb is one function
// in the table below.
#include <algorithm>
#include <cstdint>
#include <iostream>
#include <set>
#include <sstream>

#include "base/Text.h"
#include "cli/Command.h"
#include "cli/EditScript.h"
#include "cli/Json.h"
#include "cli/OpenImage.h"
#include "base/Cp1251.h"
#include "patches/ApplyPatch.h"
#include "patches/CreatePatch.h"
#include "patches/PatchExport.h"
#include "patches/PatchReader.h"
#include "patches/PatchStatus.h"
#include "xml/GmXml.h"

namespace flashsmith::cli {
using namespace flashsmith::base;
using namespace flashsmith::firmware;
using namespace flashsmith::patches;
using namespace flashsmith::xml;
namespace {

const char kUsage[] =
    "usage: flashsmith-cli patch VERB ...\n"
    "\n"
    "verbs:\n"
    "  show PATCH [--json]   name, version, group, description, authors,\n"
    "                        firmware and resources of a patch file\n"
    "  create IMAGE OUT --kind img|snd|java|lng|none [--edits SCRIPT] [--full] ...\n"
    "                        write the pending edits of one resource kind as a patch\n"
    "  to-s3 PATCH OUT [--image IMAGE] [--resource N]...\n"
    "                        export patch resources as a Motorola S-record file\n"
    "  status PATCH... --image IMAGE [--json]\n"
    "                        whether each patch is already in the image\n"
    "\n"
    "Every verb takes --help.\n";

const char kShowUsage[] =
    "usage: flashsmith-cli patch show PATCH [--json]\n"
    "\n"
    "Prints the patch's name, version, group, description, authors and the\n"
    "firmware version it was made for, then per resource its type, convert\n"
    "mode, language table and number (language resources), the count of data\n"
    "and meta elements and the total of the bytes it writes (\"to\").\n"
    "Texts are shown converted from Windows-1251 to UTF-8.\n"
    "Exit status 1 with \"error: not a patch file\" when PATCH is no patch.\n";

// Patch texts are Windows-1251; the terminal and JSON want UTF-8.
std::string Shown(const std::string& text) { return Utf8FromAnsi(text); }

Json JsonAttr(const TGmXmlAttribute* attr) { return attr ? Json(AnsiText(attr->Value())) : Json(nullptr); }

Json JsonInt(const PatchIntAttr& a) { return a.present && a.value ? Json(*a.value) : Json(nullptr); }

std::string IntText(const PatchIntAttr& a) {
    if (!a.present) return "-";
    return a.value ? std::to_string(*a.value) : "?";
}

std::string Nicks(const PatchInfo& info) {
    std::string line;
    for (const PatchAuthor& a : info.authors) {
        if (!a.hasNick) continue;
        if (!line.empty()) line += ", ";
        line += a.nick;
    }
    return line;
}

std::string FirstFirmware(const PatchContents& patch) {
    return patch.sections.empty() ? std::string() : patch.sections.front().firmware;
}

void PrintText(const PatchContents& patch) {
    const PatchInfo& info = patch.info;
    std::ostringstream out;
    out << "name:        " << Shown(info.name) << "\n"
        << "version:     " << Shown(info.version) << "\n"
        << "group:       " << Shown(info.group) << "\n"
        << "description: " << Shown(info.description) << "\n"
        << "authors:     " << Shown(Nicks(info)) << "\n";
    if (patch.sections.empty()) out << "firmware:    \n";
    for (const PatchDataSection& s : patch.sections) {
        out << "firmware:    " << Shown(s.firmware) << "\n"
            << "resources:   " << s.resources.size() << "\n";
        for (size_t i = 0; i < s.resources.size(); ++i) {
            const PatchResource& r = s.resources[i];
            out << "  " << i << ": ";
            if (r.binary) out << "binary ";
            out << "type " << (r.typeAttr ? Shown(r.typeAttr->Value()) : "-") << ", convert "
                << (r.convertAttr ? Shown(r.convertAttr->Value()) : "-");
            if (r.table.present || r.number.present)
                out << ", table " << IntText(r.table) << ", number " << IntText(r.number);
            out << ": " << r.DataCount() << " data, " << r.MetaCount() << " meta, " << r.ToByteTotal()
                << " bytes\n";
        }
    }
    std::cout << out.str();
}

void PrintPatchJson(const PatchContents& patch) {
    const PatchInfo& info = patch.info;
    Json sections = Json::array();
    for (const PatchDataSection& section : patch.sections) {
        Json resources = Json::array();
        for (const PatchResource& r : section.resources)
            resources.push_back(Json{{"element", r.binary ? "binary" : "resource"},
                                     {"type", JsonAttr(r.typeAttr)},
                                     {"convert", JsonAttr(r.convertAttr)},
                                     {"table", JsonInt(r.table)},
                                     {"number", JsonInt(r.number)},
                                     {"data", r.DataCount()},
                                     {"meta", r.MetaCount()},
                                     {"toBytes", r.ToByteTotal()}});
        sections.push_back(Json{{"firmware", AnsiText(section.firmware)}, {"resources", resources}});
    }
    PrintJson(Json{{"name", AnsiText(info.name)},
                   {"version", AnsiText(info.version)},
                   {"group", AnsiText(info.group)},
                   {"description", AnsiText(info.description)},
                   {"authors", info.authors},
                   {"firmware", AnsiText(FirstFirmware(patch))},
                   {"patchdata", sections}});
}

int RunShow(const Args& args) {
    ArgParser parser(kShowUsage);
    parser.Flag("--json");
    int code = kExitOk;
    if (!parser.Parse(args, 1, 1, &code)) return code;
    TGmXML doc;
    if (Status s = doc.LoadFile(parser.Positionals()[0]); !s) return Fail(s.Error());
    PatchReadOptions options;
    options.includeBinary = true;
    std::optional<PatchContents> patch = ReadPatch(doc, options);
    if (!patch) return Fail("not a patch file");
    if (parser.Has("--json"))
        PrintPatchJson(*patch);
    else
        PrintText(*patch);
    return kExitOk;
}

// --- create ------------------------------------------------------------------

const char kCreateUsage[] =
    "usage: flashsmith-cli patch create IMAGE OUT --kind img|snd|java|lng|none [--full]\n"
    "                                   [--name T] [--patch-version T] [--about T]\n"
    "                                   [--author T] [--email T] [--www T] [--icq T]\n"
    "                                   [--edits SCRIPT [--temp DIR] [--keep-temp]]\n"
    "                                   [profile options]\n"
    "\n"
    "Opens IMAGE, runs the edit script (if any) and writes the pending edits of\n"
    "one resource kind into the patch file OUT: the kind's table laid out afresh\n"
    "from the start of its region and every changed entry's bytes. \".spf\" is\n"
    "appended unless OUT ends in it; the name written is printed. OUT is replaced\n"
    "only by a complete new patch.\n"
    "  --kind K          img pictures, snd sounds, java Java files, lng the strings of\n"
    "                    every language, none no resource (info only)\n"
    "  --full            a full patch: every entry's bytes, so that it can be\n"
    "                    exported to S-records without the image\n"
    "  --name, --patch-version, --about, --author, --email, --www, --icq\n"
    "                    the patch's texts (UTF-8; stored as Windows-1251), at most\n"
    "                    128, 12, 2048, 128, 128, 256 and 32 characters\n";

struct TextOption {
    const char* option;
    std::string PatchDetails::*field;
    size_t limit;
};

const TextOption kTextOptions[] = {
    {"--name", &PatchDetails::Name, 128},     {"--patch-version", &PatchDetails::Version, 12},
    {"--about", &PatchDetails::About, 2048},  {"--author", &PatchDetails::Author, 128},
    {"--email", &PatchDetails::Email, 128},   {"--www", &PatchDetails::Www, 256},
    {"--icq", &PatchDetails::Icq, 32},
};

int RunCreate(const Args& args) {
    ArgParser parser(std::string(kCreateUsage) + kProfileOptionsUsage + kEditOptionsUsage + "\n" + kEditScriptSyntax +
                     "Exit status 1 with \"error: Out of Memory!\" when a region is too small, and\n"
                     "with \"error: Error while writing file!\" when OUT cannot be written.\n");
    parser.Option("--kind").Flag("--full");
    for (const TextOption& t : kTextOptions) parser.Option(t.option);
    AddProfileOptions(parser);
    AddEditOptions(parser);
    int code = kExitOk;
    if (!parser.Parse(args, 2, 2, &code)) return code;

    CreatePatchOptions options;
    const std::string kind = parser.Get("--kind").value_or("");
    if (kind == "img") options.Kind = PatchKind::Pictures;
    else if (kind == "snd") options.Kind = PatchKind::Sounds;
    else if (kind == "java") options.Kind = PatchKind::Java;
    else if (kind == "lng") options.Kind = PatchKind::Languages;
    else if (kind == "none") options.Kind = PatchKind::None;
    else return UsageError(kind.empty() ? "--kind is required" : "unknown --kind " + kind);
    options.Full = parser.Has("--full");
    for (const TextOption& t : kTextOptions) {
        std::string text = parser.Get(t.option).value_or("");
        // The memo joins its lines with CR LF.
        std::string joined;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) joined += '\r';
            joined += text[i];
        }
        std::string ansi = AnsiFromUtf8(joined);
        if (!joined.empty() && ansi.empty()) return UsageError(std::string(t.option) + ": not valid UTF-8");
        if (ansi.size() > t.limit)
            return UsageError(std::string(t.option) + ": at most " + std::to_string(t.limit) + " characters");
        options.Details.*t.field = ansi;
    }
    options.FileName = parser.Positionals()[1];

    FirmwareState state;
    if (int r = OpenImageForCli(parser, parser.Positionals()[0], state)) return r;
    RunTempDir temp;
    bool ran = false;
    const int edits = RunCliEdits(parser, state, temp, &ran);
    if (!ran || edits == kExitUsage) return edits;
    // A patch of a partly failed script would not be the patch asked for.
    if (edits != kExitOk) return Fail("the edit script did not run cleanly; no patch written");

    CreatePatchResult result = CreatePatch(state, options, TerminalProgress());
    switch (result.Status) {
        case CreatePatchStatus::Ok: std::cout << result.FileName << "\n"; return kExitOk;
        case CreatePatchStatus::OutOfMemory: return Fail(CreatePatchStatusText(result.Status));
        case CreatePatchStatus::WriteError:
            return Fail(std::string(CreatePatchStatusText(result.Status)) + " (" + result.Error + ")");
        case CreatePatchStatus::NotLoaded: break;
    }
    return Fail("no firmware is open");
}

// --- to-s3 -------------------------------------------------------------------

const char kToS3Usage[] =
    "usage: flashsmith-cli patch to-s3 PATCH OUT [--image IMAGE [profile options]]\n"
    "                                  [--resource N]...\n"
    "\n"
    "Writes the resources of PATCH as a Motorola S-record file OUT: the fixed header\n"
    "line, every block at its image offset as S3 lines, the fixed end line. Full\n"
    "resources need nothing else; partial ones are completed with the unchanged\n"
    "entries' bytes from IMAGE, which must be the firmware the patch was made for.\n"
    "  --resource N      export resource N only (0-based, in document order across\n"
    "                    every patchdata, as \"patch show\" lists them); repeatable;\n"
    "                    default: every resource\n"
    "Exit status 1 with \"error: No Selected Data!\" or \"error: Open Firmware!\" as\n"
    "the patches page reports them.\n";

int RunToS3(const Args& args) {
    ArgParser parser(std::string(kToS3Usage) + kProfileOptionsUsage);
    parser.Option("--image").Option("--resource");
    AddProfileOptions(parser);
    int code = kExitOk;
    if (!parser.Parse(args, 2, 2, &code)) return code;
    TGmXML doc;
    if (Status s = doc.LoadFile(parser.Positionals()[0]); !s) return Fail(s.Error());
    PatchReadOptions readOptions;
    readOptions.includeBinary = true;
    std::optional<PatchContents> patch = ReadPatch(doc, readOptions);
    if (!patch) return Fail("not a patch file");
    std::vector<const PatchResource*> all;
    for (const PatchDataSection& s : patch->sections)
        for (const PatchResource& r : s.resources) all.push_back(&r);

    std::vector<const PatchResource*> selected;
    if (parser.All("--resource").empty()) {
        selected = all;
    } else {
        std::set<int64_t> wanted;  // document order, each once
        for (const std::string& text : parser.All("--resource")) {
            int64_t n = 0;
            if (!ParseCliNumber(text, &n) || n < 0 || static_cast<uint64_t>(n) >= all.size())
                return UsageError("--resource " + text + ": the patch has " + std::to_string(all.size()) +
                                  " resources");
            wanted.insert(n);
        }
        for (int64_t n : wanted) selected.push_back(all[static_cast<size_t>(n)]);
    }

    FirmwareState state;
    if (auto image = parser.Get("--image")) {
        if (int r = OpenImageForCli(parser, *image, state)) return r;
        for (const PatchDataSection& s : patch->sections)
            if (!PatchFitsFirmware(s, TrimBlanks(state.FirmwareDescription.Version)))
                std::cerr << "warning: the patch was made for firmware \"" << Shown(s.firmware) << "\", the image is \""
                          << Shown(state.FirmwareDescription.Version) << "\"\n";
    }
    PatchExportResult result = ExportPatchToS3(selected, &state, parser.Positionals()[1], TerminalProgress());
    switch (result.Status) {
        case PatchExportStatus::Ok:
            std::cout << parser.Positionals()[1] << ": " << result.Resources << " resources, " << result.DataBytes
                      << " data bytes\n";
            return kExitOk;
        case PatchExportStatus::NoSelectedData:
        case PatchExportStatus::OpenFirmware: return Fail(PatchExportStatusText(result.Status));
        case PatchExportStatus::OutputFailed: return Fail(result.Error);
    }
    return kExitFailed;
}

// --- status ------------------------------------------------------------------

const char kStatusUsage[] =
    "usage: flashsmith-cli patch status PATCH... --image IMAGE [profile options] [--json]\n"
    "\n"
    "Tells for each patch whether it is already in IMAGE: \"Yes\" when every data\n"
    "element's new bytes (\"to\") lie at its offset, \"Partly\" when some do, \"No\"\n"
    "otherwise, with the counts of data elements and bytes in place. Only the parts\n"
    "made for the image's firmware version are compared (every part when none is).\n"
    "Exit status 0 whatever the answers; 1 when a PATCH is no patch file.\n";

int RunStatus(const Args& args) {
    ArgParser parser(std::string(kStatusUsage) + kProfileOptionsUsage);
    parser.Option("--image").Flag("--json");
    AddProfileOptions(parser);
    int code = kExitOk;
    if (!parser.Parse(args, 1, SIZE_MAX, &code)) return code;
    const auto image = parser.Get("--image");
    if (!image) return UsageError("--image is required");
    FirmwareState state;
    if (int r = OpenImageForCli(parser, *image, state)) return r;
    const std::string version(TrimBlanks(state.FirmwareDescription.Version));
    const bool json = parser.Has("--json");
    std::ostringstream out;
    int failed = 0;
    Json all = Json::array();
    for (const std::string& path : parser.Positionals()) {
        TGmXML doc;
        const Status loaded = doc.LoadFile(path);
        std::string error = loaded.Error();
        std::optional<PatchContents> patch;
        if (loaded) {
            patch = ReadPatch(doc);
            if (!patch) error = path + ": not a patch file";
        }
        if (!patch) {
            std::cerr << "error: " << error << "\n";
            ++failed;
            continue;
        }
        const PatchStatus st = GetPatchStatus(*patch, *state.FirmwareFile, version);
        const char* installed = PatchInstalledText(st.Installed);
        if (json) {
            all.push_back(Json{{"patch", ByteText(path)},
                               {"name", AnsiText(patch->info.name)},
                               {"version", AnsiText(patch->info.version)},
                               {"firmware", AnsiText(FirstFirmware(*patch))},
                               {"fits", st.Fits},
                               {"installed", installed},
                               {"elements", st.Elements},
                               {"matchingElements", st.MatchingElements},
                               {"bytes", st.Bytes},
                               {"matchingBytes", st.MatchingBytes}});
        } else {
            out << path << ": " << installed << " (" << st.MatchingElements << " of " << st.Elements
                << " data elements, " << st.MatchingBytes << " of " << st.Bytes << " bytes)";
            if (!st.Fits) out << ", made for firmware \"" << Shown(FirstFirmware(*patch)) << "\"";
            out << "\n";
        }
    }
    std::cout << out.str();
    if (json) PrintJson(all);
    return failed ? kExitFailed : kExitOk;
}

const Verb kVerbs[] = {
    {"show", RunShow},
    {"create", RunCreate},
    {"to-s3", RunToS3},
    {"status", RunStatus},
};

}  // namespace

// The edit scripts' "apply PATCH" lines run Open SPF.
ApplyOutcome ApplyPatchFromScript(FirmwareState& state, const std::string& path) {
    OpenSpfResult r = OpenSpf(state, path);
    ApplyOutcome out;
    switch (r.Status) {
        case OpenSpfStatus::Applied:
            out.Changed = r.Resources > 0;
            if (!out.Changed) out.Message = "the patch holds no partial resource";
            break;
        case OpenSpfStatus::NotLoaded: out.Message = "no firmware is open"; break;
        case OpenSpfStatus::LoadError: out.Failed = true, out.Message = r.Error; break;
        case OpenSpfStatus::NotPatch: out.Message = "not a patch file"; break;
        case OpenSpfStatus::MissingInfo: out.Message = "the patch has no info with a name and an author"; break;
        case OpenSpfStatus::OtherFirmware: out.Message = "the patch is not made for this firmware version"; break;
        case OpenSpfStatus::WriteError: out.Failed = true, out.Message = r.Error; break;
    }
    return out;
}

int RunPatch(const Args& args) {
    return RunVerb(args, kVerbs, kUsage, {"missing patch verb", "unknown patch verb", false});
}

}  // namespace flashsmith::cli
