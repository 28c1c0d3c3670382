// Device reports are bytes from outside: any content and size, with any settings set, must
// neither crash the engine core nor leave a key held once the device is gone.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  if (!ringdeck::testing::releasesEverythingWhenTheDeviceIsLost(bytes)) std::abort();
  if (!ringdeck::testing::releasesEverythingWhenTheEngineStops(bytes)) std::abort();
  return 0;
}
