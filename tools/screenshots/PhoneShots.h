// The phone file manager for the screenshots, connected to a simulated
// phone run in-process.
#pragma once

#include <QString>

namespace flashsmith::shell {

class TfMain;

// Writes phone-manager.png into dir; false when the simulator cannot start
// or the picture cannot be written.
bool ShootPhoneView(TfMain& window, const QString& dir);

}  // namespace flashsmith::shell
