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
// An attached number counts as present when its path opens. The mapping
// itself lives in phonelink (the CLI needs it too); this adds the listing.
#pragma once

#include <string>
#include <vector>

namespace flashsmith::shell {

constexpr int kComPortCount = 64;  // equals phonelink::kComPortCount

// The device path of COM n (1..64), "" outside that range.
std::string ComPortDevice(int n);

// Whether COM n is offered: its device opens for reading and writing, or
// exists but is held by another program (access denied or busy).
bool ComPortPresent(int n);

// The numbers of the ports offered, ascending.
std::vector<int> ListComPorts();

}  // namespace flashsmith::shell
