// Windows parallel port access through InpOut32, loaded at run time
// (inpout32.dll, or inpoutx64.dll in a 64-bit build): Out32 writes a byte to
// an I/O port, Inp32 reads one.
#if defined(_WIN32)

#include <windows.h>

#include "core/machine/port.h"

namespace brimo {
namespace {

using Out32Fn = void(__stdcall*)(short, short);
using Inp32Fn = short(__stdcall*)(short);

// GetProcAddress returns one generic function type for every export; the
// cast to the export's own type goes through void(*)(), which GCC accepts
// as matching any function type.
template <typename Fn>
Fn Export(HMODULE lib, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(lib, name)));
}

class InpOutPort final : public Port {
 public:
  InpOutPort(HMODULE lib, Out32Fn out, Inp32Fn inp, unsigned base)
      : lib_(lib), out_(out), inp_(inp), base_(static_cast<short>(base)) {}
  ~InpOutPort() override { FreeLibrary(lib_); }
  // InpOut32 takes the address as a 16-bit short; 0xD010 wraps to a
  // negative short and back to the same 16 bits in the driver.
  void WriteData(uint8_t value) override { out_(base_, value); }
  uint8_t ReadStatus() override {
    return static_cast<uint8_t>(inp_(static_cast<short>(base_ + 1)) & 0xFF);
  }

 private:
  HMODULE lib_;
  Out32Fn out_;
  Inp32Fn inp_;
  short base_;
};

}  // namespace

std::unique_ptr<Port> OpenHardwarePort(const PortAddress& where, std::string& why) {
#if defined(_WIN64)
  const char* name = "inpoutx64.dll";
#else
  const char* name = "inpout32.dll";
#endif
  HMODULE lib = LoadLibraryA(name);
  if (!lib) {
    why = std::string(name) + " could not be loaded: install InpOut32 and put " + name +
          " beside brimocnc.exe.";
    return nullptr;
  }
  const auto out = Export<Out32Fn>(lib, "Out32");
  const auto inp = Export<Inp32Fn>(lib, "Inp32");
  if (!out || !inp) {
    FreeLibrary(lib);
    why = std::string(name) + " does not provide Out32 and Inp32.";
    return nullptr;
  }
  return std::make_unique<InpOutPort>(lib, out, inp, where.base);
}

}  // namespace brimo

#elif !defined(__linux__)

#include "core/machine/port.h"

namespace brimo {
std::unique_ptr<Port> OpenHardwarePort(const PortAddress&, std::string& why) {
  why = "This platform has no parallel port driver in BrimoCNC.";
  return nullptr;
}
}  // namespace brimo

#endif
