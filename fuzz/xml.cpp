// The XML reader (patches, settings) and the writer on what it read.
#include <string_view>

#include "xml/GmXml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    flashsmith::xml::TGmXML doc;
    doc.LoadBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    (void)doc.Text();
    return 0;
}
