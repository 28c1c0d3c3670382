#include "slot_message.h"

#include <algorithm>
#include <cstring>

namespace ringdeck::panel {

namespace {

void putU32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t getU32(const std::uint8_t* at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(at[i]) << (8 * i);
  return v;
}

}  // namespace

SlotMessage makeSlotMessage(std::uint32_t kind, std::uint32_t senderProcessId,
                            std::string_view text) {
  SlotMessage m{};
  m.messageKind = kind;
  m.senderProcessId = senderProcessId;
  std::memcpy(m.text, text.data(), std::min(text.size(), kSlotTextSize));
  return m;
}

SlotBytes slotMessageBytes(const SlotMessage& message) {
  SlotBytes bytes{};
  putU32(bytes.data() + offsetof(SlotMessage, messageKind), message.messageKind);
  putU32(bytes.data() + offsetof(SlotMessage, senderProcessId), message.senderProcessId);
  std::memcpy(bytes.data() + offsetof(SlotMessage, text), message.text, kSlotTextSize);
  return bytes;
}

std::optional<SlotMessage> slotMessageFromBytes(const std::uint8_t* bytes, std::size_t size) {
  if (bytes == nullptr || size != kSlotMessageSize) return std::nullopt;
  SlotMessage m{};
  m.messageKind = getU32(bytes + offsetof(SlotMessage, messageKind));
  m.senderProcessId = getU32(bytes + offsetof(SlotMessage, senderProcessId));
  std::memcpy(m.text, bytes + offsetof(SlotMessage, text), kSlotTextSize);
  return m;
}

std::string_view slotText(const SlotMessage& message) {
  const char* end = std::find(message.text, message.text + kSlotTextSize, '\0');
  return std::string_view(message.text, static_cast<std::size_t>(end - message.text));
}

}  // namespace ringdeck::panel
