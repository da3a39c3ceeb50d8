// Fuzz target config_roundtrip: any bytes as brimo.cfg. The load either
// refuses the file (the settings stay as they were) or applies it, every
// line it cannot use replaced by its default; a save of what was applied,
// read back, must load clean (every line usable) and give the same file
// text and the same settings in force; a second save must write the very
// same bytes.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/fuzz_rig.h"

using namespace brimo;
using namespace brimo::fuzz;

namespace {

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  BRIMO_FUZZ_CHECK(f.good());
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 16384) return 0;
  const std::string folder = ScratchFolder();
  const std::string file = folder + "/" + kConfigName;
  WriteFile(file, std::string_view(reinterpret_cast<const char*>(data), size));

  FuzzRig a;
  const MachineState before = a.ms;
  const ConfigResult r = LoadConfiguration(folder, a.ms, a.form, "0");
  BRIMO_FUZZ_CHECK(!r.missing);
  if (!r.applied) {
    BRIMO_FUZZ_CHECK(!r.ok);
    BRIMO_FUZZ_CHECK(SameSettings(a.ms, before));
    return 0;
  }
  if (r.ok) BRIMO_FUZZ_CHECK(r.replaced.empty() && r.badLine == 0);
  BRIMO_FUZZ_CHECK(StepSizesUsable(a.ms));

  std::string why;
  BRIMO_FUZZ_CHECK(SaveConfiguration(folder, a.ms, a.form, why));
  const std::string saved = ReadFile(file);
  BRIMO_FUZZ_CHECK(saved == ConfigText(a.ms, a.form));

  FuzzRig b;
  const ConfigResult r2 = LoadConfiguration(folder, b.ms, b.form, "0");
  BRIMO_FUZZ_CHECK(r2.ok && r2.applied && r2.replaced.empty());
  BRIMO_FUZZ_CHECK(SameSettings(a.ms, b.ms));
  BRIMO_FUZZ_CHECK(ConfigText(b.ms, b.form) == saved);
  BRIMO_FUZZ_CHECK(SaveConfiguration(folder, b.ms, b.form, why));
  BRIMO_FUZZ_CHECK(ReadFile(file) == saved);
  return 0;
}
