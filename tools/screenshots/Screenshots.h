// Pictures of the windows for documentation and for checking the layout:
// `flashsmith-screenshots DIR IMAGE` opens IMAGE, walks through the
// editor and writes into DIR:
//   editor-pictures.png   the picture list with a picture previewed
//   editor-sounds.png     the sound list
//   editor-language.png   the strings of the first language
//   editor-files.png      the file browser pane instead of the viewer
//   patches.png           the patches page with two patches, one shown
//   converter.png         the converter after an image went to S-records
//   patch-dialog.png      "Save Patch as..." filled in
//   profile-creator.png   the profile creator after a search of the open image
//   image-types.png       "Select Type of Images" on the found pictures
//   about.png             the About box
//   phone-manager.png     the phone file manager connected to a simulated phone
//                         (taken by `more`, see PhoneShots.h)
#pragma once

#include <QString>
#include <functional>

namespace flashsmith::shell {

class TfMain;

// False when a picture could not be written.
// more: further pictures, run last.
bool TakeScreenshots(TfMain& window, const QString& dir,
                     const std::function<bool(TfMain&, const QString&)>& more = {});

}  // namespace flashsmith::shell
