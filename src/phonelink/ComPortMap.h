// COM port numbers on Linux. The settings store a port as "MIcom" + n, so n
// must name the same device after a restart. The mapping is fixed:
//
//   COM1  .. COM32  ->  /dev/ttyS0   .. /dev/ttyS31    (on-board UARTs)
//   COM33 .. COM48  ->  /dev/ttyUSB0 .. /dev/ttyUSB15  (USB serial adapters)
//   COM49 .. COM64  ->  /dev/ttyACM0 .. /dev/ttyACM15  (USB modems, phones)
//
// Any number may be attached to another device, e.g. the pseudo-terminal of
// the phone simulator, through the environment variable FLASHSMITH_COMPORTS:
// "COM5=/dev/pts/7;COM6=/tmp/phonesim.tty" (separated by ';' or ',').
#pragma once

#include <string>

namespace flashsmith::phonelink {

constexpr int kComPortCount = 64;

// The device path of COM n (1..64), "" outside that range.
std::string ComPortDevice(int n);

// "COM7" / "com7" -> 7; anything else -> 0.
int ComPortNumberFromName(const std::string& name);

}  // namespace flashsmith::phonelink
