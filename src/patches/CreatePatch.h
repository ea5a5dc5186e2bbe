// Patch creation: turns the pending edits of one resource kind into a patch
// file. The kind's data is laid out afresh from the start of its region; the
// new table and every entry's bytes are recorded at their new offsets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "firmware/Variables.h"
#include "xml/GmXml.h"

namespace flashsmith::patches {

enum class PatchKind { None, Pictures, Sounds, Java, Languages };

// The texts of the patch dialog, as 8-bit (Windows-1251) bytes.
struct PatchDetails {
    std::string Name;     // at most 128 characters
    std::string Version;  // 12
    std::string About;    // 2048; lines joined with CR LF
    std::string Author;   // 128
    std::string Email;    // 128
    std::string Www;      // 256
    std::string Icq;      // 32
};

struct CreatePatchOptions {
    PatchKind Kind = PatchKind::None;
    bool Full = false;
    PatchDetails Details;
    std::string FileName;  // as typed; PatchFileName makes the final one
};

enum class CreatePatchStatus {
    Ok,
    NotLoaded,     // no firmware open: nothing happens
    OutOfMemory,   // a region is too small; no file was touched
    WriteError,    // the file could not be written; an earlier one is intact
};

struct CreatePatchResult {
    CreatePatchStatus Status = CreatePatchStatus::Ok;
    std::string FileName;     // the name the patch was (or would have been) written to
    int32_t Region = -1;      // OutOfMemory: the region that does not fit
    std::string Error;        // WriteError: the platform's reason
};

// "Out of Memory!", "Error while writing file!", or "" for the others.
const char* CreatePatchStatusText(CreatePatchStatus status);

// ".spf" is appended unless the name already ends in it (any case), then
// every ".." of the file name becomes "." in one left-to-right pass. Folders
// of the path are left alone, so "../x" stays where the user pointed.
std::string PatchFileName(const std::string& typed);

// Checks space, builds the document and writes it atomically: the file of
// that name is replaced only by a complete new patch.
CreatePatchResult CreatePatch(const firmware::FirmwareState& state, const CreatePatchOptions& options,
                              base::ProgressSink& progress);
// The same without the file: fills doc (cleared first). On OutOfMemory doc
// is left empty.
CreatePatchResult BuildPatchDocument(const firmware::FirmwareState& state, const CreatePatchOptions& options,
                                     xml::TGmXML& doc, base::ProgressSink& progress);

// --- layouts (read the model, change nothing) ------------------------------

// Size of a replacement file in TempDir; -1 when the entry has none (empty
// name or a file that vanished).
int64_t ReplacementSize(const firmware::FirmwareState& state, const std::string& tempName);

struct ImageSlot {
    uint32_t Header = 0;  // width | height << 16
    uint32_t Address = 0;
};
struct ImageLayout {
    std::vector<ImageSlot> Slots;  // one per picture
    uint64_t End = 0;              // one past the last laid-out byte
};
ImageLayout LayoutImages(const firmware::FirmwareState& state);

struct SoundLayout {
    std::string Table;  // the new table bytes, entries as the image has them
    std::string OldTable;
    uint64_t End = 0;
};
// Sound table entries are at least 8 bytes (address and size).
int32_t SoundEntryLength(const firmware::tFirmwareDescription& description);
SoundLayout LayoutSounds(const firmware::FirmwareState& state);

struct JavaLayout {
    std::string Table;
    uint64_t End = 0;
};
JavaLayout LayoutJava(const firmware::FirmwareState& state);

struct StringLayout {
    std::vector<uint32_t> Addresses;  // one per string
    uint64_t End = 0;
    bool HasFirstEnd = false;
    uint32_t FirstEnd = 0;
};
// Region of language lang (0-based) of table 1 or 2; -1 when past the 64.
int32_t LanguageRegion(const firmware::FirmwareState& state, int table, int32_t lang);
const std::vector<firmware::pStringType>& LanguageTable(const firmware::FirmwareState& state, int table);
// Every language of a table, before borrowed strings are resolved: those
// keep their image address here.
std::vector<StringLayout> LayoutStrings(const firmware::FirmwareState& state, int table);
// Gives strings that lie in another language's region (of language table 1)
// the new address of the string they share there. table1 is table 1's
// layout, used for both tables.
void ResolveStringLinks(const firmware::FirmwareState& state, int table, const std::vector<StringLayout>& table1,
                        std::vector<StringLayout>& layouts);

// --- document building -----------------------------------------------------

// The bytes of the image at offset, exactly n of them: past its end, zeros.
std::string ImageBytesAt(const firmware::BinFile& file, int64_t offset, size_t n);

void AddDataElement(xml::TGmXmlNodeList& doc, uint32_t offset, std::string_view from, std::string_view to,
                    int64_t number, int64_t id, bool hasMeta, uint32_t meta);
void AddMetaElement(xml::TGmXmlNodeList& doc, std::string_view type, int64_t number, int64_t id,
                    int64_t linkTo, int64_t linkTbl);
// The resource element of one language; layout comes from LayoutStrings
// and ResolveStringLinks.
void AddLanguageResource(const firmware::FirmwareState& state, xml::TGmXmlNodeList& doc, int table, int32_t lang,
                         const StringLayout& layout, bool full, base::ProgressSink& progress);

}  // namespace flashsmith::patches
