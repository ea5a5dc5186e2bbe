// What the windows share for the whole run: the firmware being edited and
// the one phone connection (its settings, its state and the phone's lists).
#pragma once

#include <cstdint>

#include "firmware/Variables.h"
#include "phonelink/PhoneSession.h"

namespace flashsmith::shell {

using ConnectionState = flashsmith::phonelink::tConnection;

struct ShellState {
    firmware::FirmwareState Fw;
    ConnectionState Conn;
};

}  // namespace flashsmith::shell
