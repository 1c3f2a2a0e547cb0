// Reads each input as a registry export and opens every key it names.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "PeakMemory.h"
#include "platform/Registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace movrano;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  fuzz::PeakMemory memory;
  try {
    const RegistryContent content = RegistryContent::Parse(bytes, "fuzz.reg");
    for (const RegistryRoot root : {RegistryRoot::LocalMachine, RegistryRoot::CurrentUser})
      for (const std::string_view path : {"", "SOFTWARE", "SOFTWARE\\A", "a\\b\\c"})
        if (const auto key = content.openKeyReadOnly(root, path)) {
          for (const std::string_view name : {"", "a", "A", "x"}) {
            try {
              (void)key->readString(name);
            } catch (const ERegistryException&) {
            }
          }
        }
  } catch (const ERegistryException&) {
  }
  // The text decoded, split into lines, and the keys and values read.
  memory.Check(size, 16, size_t{1} << 20);
  return 0;
}
