// flashsmith-cli patch: patch file (.spf) commands. Each verb is one function
// in the table below.
#include <iostream>
#include <sstream>

#include "cli/Command.h"
#include "firmware/Other.h"
#include "patches/PatchReader.h"
#include "xml/GmXml.h"

namespace fs::cli {
namespace {

const char kUsage[] =
    "usage: flashsmith-cli patch VERB ...\n"
    "\n"
    "verbs:\n"
    "  show PATCH [--json]   name, version, group, description, authors,\n"
    "                        firmware and resources of a patch file\n"
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

std::string JsonString(const std::string& ansi) {
    std::string utf8 = Shown(ansi);
    std::string out = "\"";
    for (char c : utf8) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(c));
                    out += buf;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string JsonAttr(const TGmXmlAttribute* attr) { return attr ? JsonString(attr->Value()) : "null"; }

std::string JsonInt(const PatchIntAttr& a) {
    if (!a.present) return "null";
    return a.value ? std::to_string(*a.value) : "null";
}

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

void PrintJson(const PatchContents& patch) {
    const PatchInfo& info = patch.info;
    std::ostringstream out;
    out << "{\n  \"name\": " << JsonString(info.name) << ",\n  \"version\": " << JsonString(info.version)
        << ",\n  \"group\": " << JsonString(info.group) << ",\n  \"description\": " << JsonString(info.description)
        << ",\n  \"authors\": [";
    for (size_t i = 0; i < info.authors.size(); ++i) {
        const PatchAuthor& a = info.authors[i];
        out << (i ? ", " : "") << "{\"nick\": " << (a.hasNick ? JsonString(a.nick) : "null")
            << ", \"e-mail\": " << JsonString(a.email) << ", \"internet\": " << JsonString(a.internet)
            << ", \"icq\": " << JsonString(a.icq) << "}";
    }
    out << "],\n  \"firmware\": " << JsonString(FirstFirmware(patch)) << ",\n  \"patchdata\": [";
    for (size_t k = 0; k < patch.sections.size(); ++k) {
        const PatchDataSection& s = patch.sections[k];
        out << (k ? "," : "") << "\n    {\"firmware\": " << JsonString(s.firmware) << ", \"resources\": [";
        for (size_t i = 0; i < s.resources.size(); ++i) {
            const PatchResource& r = s.resources[i];
            out << (i ? "," : "") << "\n      {\"element\": \"" << (r.binary ? "binary" : "resource")
                << "\", \"type\": " << JsonAttr(r.typeAttr) << ", \"convert\": " << JsonAttr(r.convertAttr)
                << ", \"table\": " << JsonInt(r.table) << ", \"number\": " << JsonInt(r.number)
                << ", \"data\": " << r.DataCount() << ", \"meta\": " << r.MetaCount()
                << ", \"toBytes\": " << r.ToByteTotal() << "}";
        }
        out << (s.resources.empty() ? "" : "\n    ") << "]}";
    }
    out << (patch.sections.empty() ? "" : "\n  ") << "]\n}\n";
    std::cout << out.str();
}

int RunShow(const Args& args) {
    ArgParser parser(kShowUsage);
    parser.Flag("--json");
    int code = kExitOk;
    if (!parser.Parse(args, 1, 1, &code)) return code;
    TGmXML doc;
    std::string error;
    if (!doc.LoadFile(parser.Positionals()[0], &error)) return Fail(error);
    PatchReadOptions options;
    options.includeBinary = true;
    std::optional<PatchContents> patch = ReadPatch(doc, options);
    if (!patch) return Fail("not a patch file");
    if (parser.Has("--json"))
        PrintJson(*patch);
    else
        PrintText(*patch);
    return kExitOk;
}

struct Verb {
    const char* name;
    int (*run)(const Args&);
};

const Verb kVerbs[] = {
    {"show", RunShow},
};

int RunPatch(const Args& args) {
    if (args.empty()) return UsageError(std::string("missing patch verb\n") + kUsage);
    if (args[0] == "--help" || args[0] == "-h") {
        std::cout << kUsage;
        return kExitOk;
    }
    for (const Verb& v : kVerbs)
        if (args[0] == v.name) return v.run(Args(args.begin() + 1, args.end()));
    return UsageError("unknown patch verb " + args[0] + "\n" + kUsage);
}

const CommandRegistrar kRegistrar("patch", "inspect patch files (.spf)", RunPatch);

}  // namespace
}  // namespace fs::cli
