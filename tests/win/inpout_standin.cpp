// Stand-in for InpOut32's inpoutx64.dll: the same two exports, Out32 and
// Inp32 (__stdcall, as the real one declares them), touching no hardware.
// Every call is recorded; a test takes the records and sets the byte a read
// answers through the extra exports declared in inpout_standin.h.
#include "win/inpout_standin.h"

#include <windows.h>

#include <vector>

namespace {
std::vector<brimo::test::StandinCall> gCalls;
uint16_t gStatusAddress = 0;
uint8_t gStatusByte = 0xFF;
}  // namespace

extern "C" {

__declspec(dllexport) void __stdcall Out32(short address, short value) {
  gCalls.push_back({'w', static_cast<uint16_t>(address), static_cast<uint8_t>(value)});
}

__declspec(dllexport) short __stdcall Inp32(short address) {
  const auto a = static_cast<uint16_t>(address);
  gCalls.push_back({'r', a, 0});
  return a == gStatusAddress ? gStatusByte : 0xFF;
}

__declspec(dllexport) int StandinTake(brimo::test::StandinCall* out, int room) {
  int n = 0;
  for (; n < room && n < static_cast<int>(gCalls.size()); ++n) out[n] = gCalls[n];
  gCalls.clear();
  return n;
}

__declspec(dllexport) void StandinSetStatus(uint16_t address, uint8_t byte) {
  gStatusAddress = address;
  gStatusByte = byte;
}

}  // extern "C"
