// Any bytes as channel messages: the reader takes exactly 268 bytes and gives them back
// unchanged, its text never reaches past the field, and the running instance's handling of a
// channel filled with messages cut from the input ends without reading unsafely.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#include "single_instance.h"
#include "slot_message.h"

namespace {

using namespace ringdeck::panel;

void check(bool ok) {
  if (!ok) std::abort();
}

class BytesMailslot final : public MailslotPort {
 public:
  std::deque<std::vector<std::uint8_t>> queue;
  bool owner() const override { return true; }
  bool queryInfo(std::uint32_t& nextSize, std::uint32_t& count) override {
    nextSize = queue.empty() ? kNoMessage : static_cast<std::uint32_t>(queue.front().size());
    count = static_cast<std::uint32_t>(std::min<std::size_t>(queue.size(), 1));
    return true;
  }
  bool read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead) override {
    if (queue.empty() || queue.front().size() > size) return false;
    bytesRead = static_cast<std::uint32_t>(queue.front().size());
    std::memcpy(buffer, queue.front().data(), queue.front().size());
    queue.pop_front();
    return true;
  }
  bool write(const std::uint8_t*, std::uint32_t, std::uint32_t&) override { return false; }
  void announce() override {}
};

class CountingWindow final : public ChannelWindow {
 public:
  int fronts = 0;
  void beep() override {}
  void bringToFront() override { ++fronts; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The reader alone, on a heap copy of exactly the input so that any overread is caught.
  std::vector<std::uint8_t> exact(data, data + size);
  const auto message = slotMessageFromBytes(exact.data(), exact.size());
  check(message.has_value() == (size == kSlotMessageSize));
  if (message) {
    const SlotBytes back = slotMessageBytes(*message);
    check(std::memcmp(back.data(), data, kSlotMessageSize) == 0);
    const auto text = slotText(*message);
    check(text.size() <= kSlotTextSize && text.find('\0') == text.npos);
    check(std::memcmp(text.data(), data + 8, text.size()) == 0);
  }

  // The input cut into messages: each piece's length comes from its first byte, a multiple
  // of 67 so that whole 268-byte messages turn up often.
  BytesMailslot slot;
  std::size_t at = 0;
  while (at < size) {
    const std::size_t length = std::min<std::size_t>(data[at] % 8 * 67, size - at - 1);
    slot.queue.emplace_back(data + at + 1, data + at + 1 + length);
    at += 1 + length;
  }
  const std::size_t before = slot.queue.size();
  CountingWindow window;
  ServeChannel(slot, true, window);
  // Reading stops at the first message that is not 268 bytes, which stays.
  check(slot.queue.empty() || slot.queue.front().size() != kSlotMessageSize);
  check(static_cast<std::size_t>(window.fronts) <= before - slot.queue.size());
  return 0;
}
