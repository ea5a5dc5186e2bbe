// Pictures of the profile creator for the screenshots: a search of an image
// on the page with the image type dialog grabbed while it is up.
#pragma once

#include <QString>

#include "firmware/Variables.h"

class QWidget;

namespace flashsmith::shell {

class TfrProfileCreator;

// Searches the open image of fw (all four tables, display width x height)
// on page and writes image-types.png (the dialog the search brings up on the
// found pictures) and profile-creator.png (grabbed from window, which shows
// the page). False when no picture table was found or a picture could not be
// written. Nothing is saved into "Firmwares".
bool ShootProfileCreator(TfrProfileCreator& page, QWidget& window, const firmware::FirmwareState& fw, int width, int height,
                         const QString& dir);

}  // namespace flashsmith::shell
