// flashsmith-cli xml: reads a document with the XML reader and writes it back
// with the writer, as patch files and settings are read and written.
#include <iostream>

#include "cli/Command.h"
#include "xml/GmXml.h"

namespace flashsmith::cli {
using namespace flashsmith::xml;
namespace {

const char kUsage[] =
    "usage: flashsmith-cli xml format IN OUT\n"
    "\n"
    "Reads IN with the restricted XML reader of patch and settings files and\n"
    "writes the tree it built to OUT: declaration naming Windows-1251,\n"
    "two-blank indentation, CR LF line ends. As when such a file is loaded,\n"
    "only text that is an element's whole content is kept (trimmed), line\n"
    "breaks vanish, and comments are taken for elements.\n"
    "OUT is replaced only once it is completely written; IN may equal OUT.\n";

int RunFormat(const Args& args) {
    ArgParser parser(kUsage);
    int code = kExitOk;
    if (!parser.Parse(args, 2, 2, &code)) return code;
    const std::string& in = parser.Positionals()[0];
    const std::string& out = parser.Positionals()[1];
    TGmXML doc;
    base::Status s = doc.LoadFile(in);
    if (s) s = doc.SaveFile(out);
    if (!s) return Fail(s.Error());
    return kExitOk;
}

}  // namespace

int RunXml(const Args& args) {
    static constexpr Verb kVerbs[] = {{"format", RunFormat}};
    return RunVerb(args, kVerbs, kUsage, {"missing xml command", "unknown xml command", false});
}

}  // namespace flashsmith::cli
