// What a device read returns is bytes from outside: any report length the device declares, any
// number of bytes per read. Cut into reports, every whole report must come out in order and
// nothing else (no read past what was returned, no phantom report from a short read), and
// whatever the reports said, a held key must be let go once the device is lost.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "device_readers.h"
#include "engine_test_support.h"

namespace {

using ringdeck::ActionKind;
using ringdeck::SlotIndex;
using ringdeck::engine::Report;
using ringdeck::engine::ReportChunks;
using namespace ringdeck::testing;

// Bytes past the end of the input read as zero.
struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  bool done() const { return at >= size; }
  std::uint8_t byte() { return at < size ? data[at++] : 0; }
};

void giveTheRigActions(EngineRig& rig) {
  for (int b = 0; b < SlotIndex::ButtonCount; ++b) {
    rig.slot(SlotIndex::button(b)) =
        keystrokeSlot(b % 3 == 0 ? ringdeck::ModShift : 0, static_cast<std::uint8_t>('A' + b),
                      b % 2 == 0 ? ringdeck::kRepeatHold : ringdeck::kRepeatOnce, true);
  }
  rig.slot(SlotIndex::JogLeft) = keystrokeSlot(0, 'J', ringdeck::kRepeatOnce, true);
  rig.slot(SlotIndex::JogRight) = keystrokeSlot(0, 'L', ringdeck::kRepeatOnce, true);
  for (int z = SlotIndex::MinZone; z <= SlotIndex::MaxZone; ++z) {
    if (z != 0) rig.slot(SlotIndex::shuttleZone(z)) = systemRepeatSlot(0, z < 0 ? 0x25 : 0x27, true);
  }
  rig.slot(SlotIndex::transitionUp(0)) = scrollSlot(ActionKind::ScrollUp, 3, 0, false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in{data, size};
  const std::size_t length = in.byte() % 72;  // the device's input report length, 0 included
  const std::size_t perRead = 1 + in.byte() % 64;
  ReportChunks chunks(length, perRead);
  auto rig = std::make_unique<EngineRig>();
  giveTheRigActions(*rig);

  while (!in.done()) {
    // A read may claim more than the buffer holds; only what fits counts.
    std::size_t got = static_cast<std::size_t>(in.byte()) << 8;
    got = (got | in.byte()) % (chunks.capacity() + 9);
    const std::size_t kept = got < chunks.capacity() ? got : chunks.capacity();
    std::vector<std::uint8_t> read(kept);
    for (auto& b : read) b = in.byte();
    if (kept > 0) std::memcpy(chunks.buffer(), read.data(), kept);
    chunks.filled(got);

    // What must come out of this read: the first 8 bytes of each whole report, in order.
    const std::size_t expected = length >= 8 ? kept / length : 0;
    std::size_t n = 0;
    Report r;
    while (chunks.next(r)) {
      if (n >= expected) std::abort();  // a report that was not whole
      if (std::memcmp(r.data(), read.data() + n * length, r.size()) != 0) std::abort();
      ++n;
      rig->translator.decodeReport(rig->device, r);
      rig->pump();
    }
    if (n != expected) std::abort();  // a whole report was dropped
  }
  rig->translator.releaseDevice(rig->device);
  rig->pump();
  rig->wait(2000);
  if (!rig->nothingHeld()) std::abort();
  return 0;
}
