// Limit and home switches on the status register, decoded by comparing the
// whole byte with fixed lists (not single bits). The lists, the fixed pins
// and the byte 255 reading as home X active are deliberate and stay,
// whatever the enable boxes and pin settings say.
#pragma once

#include <array>
#include <cstdint>

#include "core/machine/core.h"

namespace brimo {

// Bit flags of the switches a status byte shows active.
enum SwitchBits { kLimit = 1, kHomeX = 2, kHomeY = 4, kHomeZ = 8 };

namespace switch_detail {

// Whole-byte lists, exact. Limit, Y and Z hold 142 in place of 15, so 15
// matches nothing and 142 is limit+Y+Z but not X; 255 reads as home X only.
// Deliberate: switch wiring in the field relies on these lists.
inline constexpr int kLimitList[8] = {31, 47, 63, 142, 143, 159, 175, 191};
inline constexpr int kHomeXList[8] = {143, 159, 175, 191, 207, 223, 239, 255};
inline constexpr int kHomeYList[8] = {31, 79, 95, 142, 143, 159, 207, 223};
inline constexpr int kHomeZList[8] = {47, 79, 111, 142, 143, 175, 207, 239};

constexpr std::array<uint8_t, 256> BuildSwitchTable() {
  std::array<uint8_t, 256> table{};
  const struct {
    const int* list;
    int bit;
  } lists[] = {
      {kLimitList, kLimit}, {kHomeXList, kHomeX}, {kHomeYList, kHomeY}, {kHomeZList, kHomeZ}};
  for (const auto& l : lists)
    for (int i = 0; i < 8; ++i) table[l.list[i]] |= static_cast<uint8_t>(l.bit);
  return table;
}

}  // namespace switch_detail

// SwitchBits of every status byte, one lookup per pulse instead of a search
// of the lists. No setting takes part in the decoding, so the table is
// complete when the program is built.
inline constexpr std::array<uint8_t, 256> kSwitchTable = switch_detail::BuildSwitchTable();

// SwitchBits of `statusByte`; a value outside 0..255 matches no list.
inline int DecodeSwitches(int statusByte) {
  return (statusByte & ~0xFF) ? 0 : kSwitchTable[statusByte];
}

// Sets the four switch flags from `active` (SwitchBits, not 0) and acts on
// them: the limit switch requests a stop and shows "Limit Zone"; a home
// switch zeroes its machine axis.
void ActOnSwitches(Core& c, int active);

// Reads the status byte of `port` once and acts on it: the limit switch requests a stop
// and shows "Limit Zone" (every pulse while active); a home switch zeroes its
// machine axis. Called only by an online StepPulse between the port writes
// and the position update. Inline: the usual byte (all open) only clears
// the flags.
inline void ReadSwitches(Core& c, Port& port) {
  const int active = kSwitchTable[port.ReadStatus()];
  if (active != 0) [[unlikely]]
    return ActOnSwitches(c, active);
  MachineState& ms = c.ms;
  ms.LimitActive = ms.HomeXActive = ms.HomeYActive = ms.HomeZActive = 0;
}

}  // namespace brimo
