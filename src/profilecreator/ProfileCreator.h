// The profile creator without its page: identification and table searches
// of an image that has no description file, the region estimate, and the
// writing of the new description file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Result.h"
#include "firmware/BinFile.h"
#include "firmware/Variables.h"
#include "profilecreator/RegionEstimate.h"
#include "profilecreator/TableSearch.h"

namespace flashsmith::profilecreator {

// Which searches to run, and the phone's display for the picture search.
using ProfileSearchOptions = TableSearchRequest;

enum class ProfileSearchStatus {
    Ok,
    NoModel,        // no "SGH-" model marker (or an all-empty dump)
    NoVersion,      // a model but no version string
};

// Everything a search finds, kept between the search and the save. A table
// that was searched and not found holds -1; one not searched holds 0.
struct ProfileSearch {
    ProfileSearchStatus Status = ProfileSearchStatus::Ok;
    std::string PhoneModel;  // without "SGH-"
    std::string Version;
    int64_t FileSizeValue = 0;  // image size less the start offset
    int32_t StartAddr = 0;
    int32_t VersionAddr = 0;

    bool ImagesSearched = false, SoundsSearched = false, JavaSearched = false, LanguagesSearched = false;
    int32_t ImageTable = 0;
    std::vector<firmware::tImgType> FoundImages;
    int32_t SoundTable = 0, SndTableLength = 0, SndTableSizeOfs = 0, SndTableVolOfs = 0;
    int32_t JavaTable = 0, JavaTableLength = 0;
    std::vector<int32_t> LanguageTables;
    int32_t LanguageCount = 0;

    // Picked in the image type dialog (0x00BBGGRR); written with the pictures.
    std::optional<uint32_t> Transparent;
    // Pictures, sounds, Java, then the languages of table 1 and table 2.
    std::vector<base::AddressRange> Regions;

    int32_t LanguageTable1() const { return LanguageTables.size() > 0 ? LanguageTables[0] : -1; }
    int32_t LanguageTable2() const { return LanguageTables.size() > 1 ? LanguageTables[1] : -1; }
    // The save needs an identified image on which the picture, sound and Java
    // searches have all run.
    bool CanSave() const;
};

// Identification and the chosen searches (pictures are classified at once).
// The GUI shows the image type dialog on FoundImages afterwards; then
// EstimateRegions fills Regions from the (corrected) results.
ProfileSearch RunProfileSearch(const firmware::BinFile& file, const ProfileSearchOptions& options,
                               base::ProgressSink& progress);
void EstimateRegions(const firmware::BinFile& file, ProfileSearch& search);

// The memory region list's comment for row i (from 0).
const char* RegionComment(size_t row);

// The texts of row i of the image type dialog's list.
struct FoundImageRow {
    std::string Name;       // "Image_" + (i + 1)
    std::string Type;       // "RAW8", "RAW16", "WBMP", "09", "" for none
    std::string Dimension;  // width " x " height
    std::string Id;         // (ID + 1) ":" name, or ":Unknown ID"
};
FoundImageRow MakeFoundImageRow(const std::vector<firmware::tImgType>& images, size_t i,
                                const std::vector<firmware::tResourceIDType>& idNames);

// The description file of a search, in the layout the reader expects.
std::string DescriptionText(const ProfileSearch& search);

// "<version>.sdf" in firmwaresDir, or the first free "<version>_<k>.sdf".
std::string FreeProfilePath(const std::string& firmwaresDir, const std::string& version);

// Writes the description file. Without overwrite an existing file is never
// replaced, not even one that appears while writing. Fails when the search
// cannot be saved.
base::Status WriteDescriptionFile(const std::string& path, const ProfileSearch& search, bool overwrite);

}  // namespace flashsmith::profilecreator
