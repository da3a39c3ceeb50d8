// Limit and home switches on the status register, decoded by comparing the
// whole byte with fixed lists (not single bits). The lists, the fixed pins
// and the byte 255 reading as home X active are deliberate and stay,
// whatever the enable boxes and pin settings say.
#pragma once

namespace brimo {

struct Core;

// Bit flags of the switches a status byte shows active.
enum SwitchBits { kLimit = 1, kHomeX = 2, kHomeY = 4, kHomeZ = 8 };
int DecodeSwitches(int statusByte);

class Port;

// Reads the status byte of `port` once and acts on it: the limit switch requests a stop
// and shows "Limit Zone" (every pulse while active); a home switch zeroes its
// machine axis. Called only by an online StepPulse between the port writes
// and the position update.
void ReadSwitches(Core& c, Port& port);

}  // namespace brimo
