// Patch files: the XML reader, then the patch reader over the tree as the
// patches page (binary elements included) and Open SPF read it.
#include <string_view>

#include "patches/PatchReader.h"
#include "xml/GmXml.h"

using namespace flashsmith::patches;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    flashsmith::xml::TGmXML doc;
    doc.LoadBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    PatchReadOptions pane;
    pane.includeBinary = true;
    if (auto contents = ReadPatch(doc, pane)) {
        for (const auto& section : contents->sections)
            for (const auto& resource : section.resources) (void)resource;
    }
    PatchReadOptions open;
    open.resourceNameIgnoresCase = false;
    (void)ReadPatch(doc, open);
    return 0;
}
