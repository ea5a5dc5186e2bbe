// Crafted images whose tables repeat the same data over and over: cheap to
// make, costly for a reader that does not bound its work.
#pragma once

#include <cstdint>
#include <string>

#include "firmware/TestImage.h"

namespace flashsmith::test {

inline constexpr uint32_t kHostilePictureTable = 0x1000;

// A picture table at kHostilePictureTable of entries 321 x 321 "09"
// pictures. With sameAddress every entry names one picture made of a single
// endless run; otherwise entry i starts at byte i of a long stretch of 0x01
// bytes, which reads as literal pixels from any address, so every entry
// costs a walk of a whole picture.
inline ImageBytes HostilePictureImage(uint32_t entries, bool sameAddress) {
    ImageBytes img(kHostilePictureTable);
    // header, one palette colour, an endless run of that colour
    img.Put(0x100, std::string("\x09\x01\x1F\x00\xC0\x00", 6));
    const uint32_t stretch = kHostilePictureTable + 8 * (entries + 2);
    for (uint32_t i = 0; i < entries; ++i) {
        const size_t e = kHostilePictureTable + 8 + 8 * size_t(i);
        img.U16(e, 321).U16(e + 2, 321).U32(e + 4, sameAddress ? 0x100 : stretch + i);
    }
    img.U32(kHostilePictureTable + 8 + 8 * size_t(entries), 0);  // the end of the table
    img.Put(stretch, sameAddress ? std::string(16, '\0') : std::string(321 * 321 * 3 + entries + 16, '\x01'));
    return img;
}

// count language headers at 0x800, every one naming the same pointer table
// at 0x10000 that fills the rest of an image of size bytes, every pointer
// naming the same 254-byte string.
inline ImageBytes HostileLanguageImage(size_t size, uint32_t count) {
    ImageBytes img(size);
    img.Put(0x100, std::string(254, 's'));
    const uint32_t table = 0x10000;
    const uint32_t pointers = static_cast<uint32_t>((size - table) / 4);
    for (uint32_t k = 0; k < count; ++k) img.U32(0x800 + 12 * k, table).U32(0x804 + 12 * k, pointers);
    for (uint32_t i = 0; i < pointers; ++i) img.U32(table + 4 * size_t(i), 0x100);
    return img;
}

}  // namespace flashsmith::test
