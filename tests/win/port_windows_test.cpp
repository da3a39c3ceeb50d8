// The Windows port backend's InpOut32 loading path, against stand-ins built
// with these tests: inpoutx64.dll beside this executable records each
// Out32 / Inp32 call (inpout_standin.cpp); inpout_noexports/inpoutx64.dll
// lacks both exports. Each test first says where LoadLibrary may look.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/machine/port.h"
#include "win/inpout_standin.h"

namespace brimo::test {
namespace {

// This executable's folder, where the build puts the stand-ins.
std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  return folder.substr(0, folder.find_last_of(L"\\/"));
}

// From construction on, LoadLibrary searches only the places `flags` name,
// plus `folder` when one is given; the folder is dropped again at the end.
class DllSearch {
 public:
  explicit DllSearch(DWORD flags, const std::wstring& folder = {}) {
    EXPECT_TRUE(SetDefaultDllDirectories(flags));
    if (!folder.empty()) {
      cookie_ = AddDllDirectory(folder.c_str());
      EXPECT_NE(cookie_, nullptr);
    }
  }
  ~DllSearch() {
    if (cookie_) RemoveDllDirectory(cookie_);
  }

 private:
  DLL_DIRECTORY_COOKIE cookie_ = nullptr;
};

template <typename Fn>
Fn StandinExport(const char* name) {
  HMODULE lib = GetModuleHandleA("inpoutx64.dll");
  EXPECT_NE(lib, nullptr);
  return lib ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(lib, name)))
             : nullptr;
}

struct AddressCase {
  const char* name;
  PortAddress where;
  uint16_t data;    // where the data byte must go
  uint16_t status;  // where the status byte must come from
};

TEST(InpOut32Port, WritesTheDataRegisterAndReadsStatusAtBasePlusOne) {
  const AddressCase cases[] = {
      {"default", PortAddress{}, 0x378, 0x379},
      {"PCI Express card", PortAddress{"", 0xD010}, 0xD010, 0xD011},
      {"second card", PortAddress{"", 0xE800}, 0xE800, 0xE801},
  };
  DllSearch search(LOAD_LIBRARY_SEARCH_APPLICATION_DIR);
  for (const AddressCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string why;
    std::unique_ptr<Port> port = OpenHardwarePort(c.where, why);
    ASSERT_NE(port, nullptr) << why;
    const auto take = StandinExport<StandinTakeFn>("StandinTake");
    const auto setStatus = StandinExport<StandinSetStatusFn>("StandinSetStatus");
    ASSERT_TRUE(take && setStatus);
    setStatus(c.status, 0x87);  // high bit set: no sign extension may leak into the byte

    port->WriteData(0xA5);
    EXPECT_EQ(port->ReadStatus(), 0x87);

    StandinCall calls[8];
    const int n = take(calls, 8);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(calls[0].kind, 'w');
    EXPECT_EQ(calls[0].address, c.data);
    EXPECT_EQ(calls[0].value, 0xA5);
    EXPECT_EQ(calls[1].kind, 'r');
    EXPECT_EQ(calls[1].address, c.status);
  }
}

TEST(InpOut32Port, MissingDllIsNamedWithWhereToPutIt) {
  DllSearch search(LOAD_LIBRARY_SEARCH_SYSTEM32);  // the stand-in is not there
  std::string why;
  EXPECT_EQ(OpenHardwarePort(PortAddress{"", 0xD010}, why), nullptr);
  EXPECT_EQ(why,
            "inpoutx64.dll could not be loaded: install InpOut32 and put inpoutx64.dll beside "
            "brimocnc.exe.");
}

TEST(InpOut32Port, DllWithoutTheExportsIsRefusedAndReleased) {
  DllSearch search(LOAD_LIBRARY_SEARCH_USER_DIRS, ProgramFolder() + L"\\inpout_noexports");
  std::string why;
  EXPECT_EQ(OpenHardwarePort(PortAddress{}, why), nullptr);
  EXPECT_EQ(why, "inpoutx64.dll does not provide Out32 and Inp32.");
  EXPECT_EQ(GetModuleHandleA("inpoutx64.dll"), nullptr);
}

}  // namespace
}  // namespace brimo::test
