// The resource viewer's model operations on a picture entry: the preview
// decode, the format and size corrections, and the transparent colour of a
// replaced "09" picture. The viewer only binds these to its controls.
//
// lvFirmwareFilesSelectItem (pictures) -> PreviewPicture; format buttons ->
// ChangePictureFormat; udImageWidth/udImageHeight -> StepPictureSide;
// Enter in leImageWidth/leImageHeight -> EnterPictureSide; cbTransparent ->
// CanPickTransparent / RemoveTransparentColour; click in pick mode ->
// PickInsidePicture + ApplyTransparentColour.
#pragma once

#include <string>

#include "editing/EditResult.h"
#include "firmware/Picture.h"
#include "firmware/Variables.h"

namespace flashsmith::editing {

constexpr int32_t kMaxPictureSideEdit = 320;

struct PicturePreview {
    bool Ok = false;          // pixels were decoded
    firmware::Picture Pic;              // Width x Height, light grey where nothing was decoded
    int32_t Width = 0;        // shown in leImageWidth
    int32_t Height = 0;       // shown in leImageHeight
    int32_t Kind = 0;         // selects the format button
    bool FromReplacement = false;
    bool HasTransp = false;   // cbTransparent; when set, Transparent is the picture's see-through colour
    uint32_t TranspColor = 0; // the swatch, 0x00BBGGRR
    uint32_t Transparent = 0; // the firmware's transparent colour, 0x00BBGGRR
};

// The entry at Link when it has one, else the entry itself: its replacement
// file (width and height from the header, each limited to 320, data from
// offset 4) unless it is deleted or not replaced, else the firmware's data.
PicturePreview PreviewPicture(const firmware::FirmwareState& state, int32_t index);

// Kind := kind (1..4); Size recomputed for the width and height of the
// replacement file's header when replaced, else of the entry. Used stays.
EditResult ChangePictureFormat(firmware::FirmwareState& state, int32_t index, int32_t kind);

enum class SizeAxis { Width, Height };
// Stores a side of 1..320: in the replacement file's header when the entry
// is replaced (the entry's own Width/Height stay), else in the entry.
EditResult StepPictureSide(firmware::FirmwareState& state, int32_t index, SizeAxis axis, int32_t value);
// Typed text: every non-digit is dropped ("1a2" -> "12"), empty counts as 1;
// stored as by StepPictureSide when it lies in 1..320, else OutOfRange.
// *cleaned receives the text the edit shows afterwards.
EditResult EnterPictureSide(firmware::FirmwareState& state, int32_t index, SizeAxis axis, const std::string& text,
                            std::string* cleaned);
std::string CleanSizeText(const std::string& text);

// Ok when the entry has a replacement file and is an "09" picture.
EditStatus CanPickTransparent(const firmware::FirmwareState& state, int32_t index);
// Whether a pick at x, y lies inside the entry's own width and height.
bool PickInsidePicture(const firmware::FirmwareState& state, int32_t index, int32_t x, int32_t y);
// Turns every pixel of colour (0x00BBGGRR) in the replacement into the
// firmware's Transparent colour and remembers colour in TranspColor.
EditResult ApplyTransparentColour(firmware::FirmwareState& state, int32_t index, uint32_t colour);
// Undoes it: every pixel of the Transparent colour (also those that had it
// before) takes TranspColor.
EditResult RemoveTransparentColour(firmware::FirmwareState& state, int32_t index);

// Decodes the "09" data of a replacement file, re-encodes it with oldColour
// pixels as newColour (both 0x00BBGGRR) and writes it back atomically. A
// truncated or undecodable file is left alone and reported.
EditStatus RecolourReplacement(const std::string& path, uint32_t oldColour, uint32_t newColour, std::string* detail);

}  // namespace flashsmith::editing
