// The stand-in InpOut32 (inpout_standin.cpp, built as inpoutx64.dll beside
// the Windows port tests): what it records, and the extra exports a test
// reaches through GetModuleHandle / GetProcAddress.
#pragma once

#include <cstdint>

namespace brimo::test {

struct StandinCall {
  char kind;         // 'w' Out32, 'r' Inp32
  uint16_t address;  // I/O address as the driver sees it (16 bits)
  uint8_t value;     // the byte written (0 for a read)
};

// int StandinTake(StandinCall* out, int room): copies up to `room` calls
// recorded since the last take, oldest first, forgets them, returns how many.
using StandinTakeFn = int (*)(StandinCall*, int);
// void StandinSetStatus(uint16_t address, uint8_t byte): what Inp32 answers
// at `address` from now on (0xFF anywhere else, like an open bus).
using StandinSetStatusFn = void (*)(uint16_t, uint8_t);

}  // namespace brimo::test
