// What the windows share for the whole run: the firmware being edited and
// the connection settings of the phone link.
#pragma once

#include <cstdint>

#include "firmware/Variables.h"

namespace fs::shell {

// The phone link's settings and state as the main window sees them. The link
// itself reads them when it connects.
struct ConnectionState {
    int32_t BaudRate = 115200;
    int32_t TimeOut = 2500;      // milliseconds
    int32_t ComPortNumber = 0;   // 0 until a port is chosen
    bool Connected = false;
    bool Busy = false;           // connecting or in the middle of an exchange
};

struct ShellState {
    FirmwareState Fw;
    ConnectionState Conn;
};

}  // namespace fs::shell
