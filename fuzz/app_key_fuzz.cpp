// Any bytes as a set's target application or as a module name read from another process: the
// helper's keys are made without fail, and a key never holds a lower-case ASCII letter.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app_key.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string key = ringdeck::helper::applicationKey(text);
  for (char c : key)
    if (c >= 'a' && c <= 'z') std::abort();
  (void)ringdeck::helper::isApplicationModuleName(text);
  if (ringdeck::helper::upperCaseAscii(text).size() != text.size()) std::abort();
  return 0;
}
