// JPEG reading and writing through libjpeg. libjpeg reports fatal errors by
// calling error_exit, which by default ends the process; here it longjmps back
// to RunGuarded. The work functions that may be jumped over hold no objects
// with destructors: everything they fill lives in the caller's context.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "firmware/PictureFile.h"

namespace flashsmith::firmware {
using namespace flashsmith::base;
namespace {

struct JpegErrors {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool hitEnd;
};

[[noreturn]] void OnFatal(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<JpegErrors*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, e->message);
    std::longjmp(e->jump, 1);
}

// Warnings are not printed; the one that means "the data stopped early" is
// remembered so that a truncated file fails instead of loading half gray.
void OnMessage(j_common_ptr cinfo, int level) {
    auto* e = reinterpret_cast<JpegErrors*>(cinfo->err);
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) {
        e->hitEnd = true;
        (*cinfo->err->format_message)(cinfo, e->message);
    }
}

void InitErrors(JpegErrors& e) {
    std::memset(&e, 0, sizeof e);
    jpeg_std_error(&e.mgr);
    e.mgr.error_exit = OnFatal;
    e.mgr.emit_message = OnMessage;
}

// Not inlinable into its caller (it calls setjmp), and `work` is called through
// a pointer, so no locals of the work end up in this frame.
bool RunGuarded(JpegErrors& e, void (*work)(void*), void* context) {
    if (setjmp(e.jump)) return false;
    work(context);
    return true;
}

struct DecodeContext {
    jpeg_decompress_struct cinfo;
    std::string_view bytes;
    Picture picture;
    std::vector<JSAMPLE> row;
    bool tooLarge = false;
    int64_t width = 0, height = 0;  // as the frame header claims
};

void DecodeWork(void* p) {
    auto& c = *static_cast<DecodeContext*>(p);
    jpeg_create_decompress(&c.cinfo);
    jpeg_mem_src(&c.cinfo, reinterpret_cast<unsigned char*>(const_cast<char*>(c.bytes.data())),
                 static_cast<unsigned long>(c.bytes.size()));
    jpeg_read_header(&c.cinfo, TRUE);
    const int64_t w = c.width = c.cinfo.image_width, h = c.height = c.cinfo.image_height;
    if (w > kMaxPictureSide || h > kMaxPictureSide || w * h > kMaxPicturePixels) {
        c.tooLarge = true;
        return;
    }
    const bool cmyk = c.cinfo.jpeg_color_space == JCS_CMYK || c.cinfo.jpeg_color_space == JCS_YCCK;
    c.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&c.cinfo);
    const int comps = c.cinfo.output_components;
    const int32_t width = static_cast<int32_t>(c.cinfo.output_width);
    c.picture = Picture(width, static_cast<int32_t>(c.cinfo.output_height), 0);
    c.row.resize(static_cast<size_t>(width) * comps);
    // Adobe writers store CMYK inverted; that is what the Adobe marker tells.
    const bool inverted = c.cinfo.saw_Adobe_marker;
    while (c.cinfo.output_scanline < c.cinfo.output_height) {
        const int32_t y = static_cast<int32_t>(c.cinfo.output_scanline);
        JSAMPROW rows[1] = {c.row.data()};
        if (jpeg_read_scanlines(&c.cinfo, rows, 1) != 1) break;
        uint32_t* dst = &c.picture.Pixels[static_cast<size_t>(y) * width];
        const JSAMPLE* s = c.row.data();
        for (int32_t x = 0; x < width; ++x, s += comps) {
            if (cmyk) {
                uint32_t k = inverted ? s[3] : 255u - s[3];
                auto ch = [&](JSAMPLE v) { return ((inverted ? v : 255u - v) * k + 127) / 255; };
                dst[x] = ch(s[0]) << 16 | ch(s[1]) << 8 | ch(s[2]);
            } else {
                dst[x] = static_cast<uint32_t>(s[0]) << 16 | static_cast<uint32_t>(s[1]) << 8 | s[2];
            }
        }
    }
    jpeg_finish_decompress(&c.cinfo);
}

// Output into a malloc'd buffer that this file owns, so that it can be freed
// whatever point an error jumped from.
struct MemoryDestination {
    jpeg_destination_mgr mgr;
    unsigned char* data = nullptr;
    size_t capacity = 0;
    size_t used = 0;
};

void DestInit(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    d->capacity = 1 << 16;
    d->data = static_cast<unsigned char*>(std::malloc(d->capacity));
    if (!d->data) ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    d->mgr.next_output_byte = d->data;
    d->mgr.free_in_buffer = d->capacity;
}

boolean DestGrow(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    // Called only when the whole buffer is full.
    auto* bigger = static_cast<unsigned char*>(std::realloc(d->data, d->capacity * 2));
    if (!bigger) ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    d->data = bigger;
    d->mgr.next_output_byte = d->data + d->capacity;
    d->mgr.free_in_buffer = d->capacity;
    d->capacity *= 2;
    return TRUE;
}

void DestTerm(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    d->used = d->capacity - d->mgr.free_in_buffer;
}

struct EncodeContext {
    jpeg_compress_struct cinfo;
    MemoryDestination dest;
    const Picture* picture = nullptr;
    int quality = 100;
    std::vector<JSAMPLE> row;
};

void EncodeWork(void* p) {
    auto& c = *static_cast<EncodeContext*>(p);
    const Picture& pic = *c.picture;
    jpeg_create_compress(&c.cinfo);
    c.dest.mgr.init_destination = DestInit;
    c.dest.mgr.empty_output_buffer = DestGrow;
    c.dest.mgr.term_destination = DestTerm;
    c.cinfo.dest = &c.dest.mgr;
    c.cinfo.image_width = static_cast<JDIMENSION>(pic.Width);
    c.cinfo.image_height = static_cast<JDIMENSION>(pic.Height);
    c.cinfo.input_components = 3;
    c.cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c.cinfo);
    jpeg_set_quality(&c.cinfo, c.quality, TRUE);
    // Phone pictures are small and sharp-edged; halving the chroma resolution
    // would smear their one-pixel details.
    for (int i = 0; i < c.cinfo.num_components; ++i)
        c.cinfo.comp_info[i].h_samp_factor = c.cinfo.comp_info[i].v_samp_factor = 1;
    jpeg_start_compress(&c.cinfo, TRUE);
    c.row.resize(static_cast<size_t>(pic.Width) * 3);
    while (c.cinfo.next_scanline < c.cinfo.image_height) {
        const uint32_t* src = &pic.Pixels[static_cast<size_t>(c.cinfo.next_scanline) * pic.Width];
        for (int32_t x = 0; x < pic.Width; ++x) {
            c.row[3 * x] = static_cast<JSAMPLE>(src[x] >> 16 & 0xFF);
            c.row[3 * x + 1] = static_cast<JSAMPLE>(src[x] >> 8 & 0xFF);
            c.row[3 * x + 2] = static_cast<JSAMPLE>(src[x] & 0xFF);
        }
        JSAMPROW rows[1] = {c.row.data()};
        jpeg_write_scanlines(&c.cinfo, rows, 1);
    }
    jpeg_finish_compress(&c.cinfo);
}

bool DecodeJpegInto(std::string_view bytes, Picture& out, std::string* error) {
    if (bytes.size() < 2 || static_cast<uint8_t>(bytes[0]) != 0xFF || static_cast<uint8_t>(bytes[1]) != 0xD8)
        return FailWith(error, "not a JPEG file");
    JpegErrors errors;
    InitErrors(errors);
    DecodeContext c;
    std::memset(&c.cinfo, 0, sizeof c.cinfo);
    c.cinfo.err = &errors.mgr;
    c.bytes = bytes;
    bool ok;
    try {
        ok = RunGuarded(errors, DecodeWork, &c);
    } catch (const std::bad_alloc&) {
        jpeg_destroy_decompress(&c.cinfo);
        return FailWith(error, "not enough memory for the JPEG picture");
    }
    jpeg_destroy_decompress(&c.cinfo);
    if (!ok) return FailWith(error, std::string("corrupt JPEG: ") + errors.message);
    if (c.tooLarge)
        return FailWith(error, "JPEG picture is too large (" + std::to_string(c.width) + " x " +
                               std::to_string(c.height) + ")");
    if (errors.hitEnd) return FailWith(error, std::string("JPEG data is truncated: ") + errors.message);
    out = std::move(c.picture);
    return true;
}

bool EncodeJpegInto(const Picture& picture, int quality, std::string& out, std::string* error) {
    if (picture.Width <= 0 || picture.Height <= 0) return FailWith(error, "picture is empty");
    if (picture.Pixels.size() != static_cast<size_t>(picture.Width) * static_cast<size_t>(picture.Height))
        return FailWith(error, "picture pixel count does not match its size");
    JpegErrors errors;
    InitErrors(errors);
    EncodeContext c;
    std::memset(&c.cinfo, 0, sizeof c.cinfo);
    c.cinfo.err = &errors.mgr;
    c.picture = &picture;
    c.quality = quality < 1 ? 1 : quality > 100 ? 100 : quality;
    bool ok;
    std::string why;
    try {
        ok = RunGuarded(errors, EncodeWork, &c);
        if (ok) out.assign(reinterpret_cast<const char*>(c.dest.data), c.dest.used);
        else why = std::string("JPEG encoding failed: ") + errors.message;
    } catch (const std::bad_alloc&) {
        ok = false;
        why = "not enough memory for the JPEG picture";
    }
    jpeg_destroy_compress(&c.cinfo);
    std::free(c.dest.data);
    return ok || FailWith(error, why);
}
}  // namespace

Result<Picture> LoadJpegBytes(std::string_view bytes) {
    return AsResult<Picture>([&](Picture& out, std::string* error) { return DecodeJpegInto(bytes, out, error); });
}

Result<std::string> EncodeJpeg(const Picture& picture, int quality) {
    return AsResult<std::string>([&](std::string& out, std::string* error) { return EncodeJpegInto(picture, quality, out, error); });
}

}  // namespace flashsmith::firmware
