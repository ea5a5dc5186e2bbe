// The tree and list icons, drawn rather than loaded: 0 pictures, 1 sounds,
// 2 Java, 3 languages, 4 the firmware root.
#pragma once

#include <QIcon>

namespace flashsmith::shell {

enum IconIndex { kIconPicture = 0, kIconSound = 1, kIconJava = 2, kIconLanguage = 3, kIconFirmware = 4 };

// 16 and 32 pixel forms in one icon.
QIcon ResourceIcon(int index);
// The application's own icon (a phone with a spark).
QIcon AppIcon();

}  // namespace flashsmith::shell
