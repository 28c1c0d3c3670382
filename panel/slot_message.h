// One message of the control panel's single-instance channel: 268 bytes, little-endian, written
// by a second start of the control panel and read by the running one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace ringdeck::panel {

inline constexpr std::size_t kSlotTextSize = 260;
inline constexpr std::size_t kSlotMessageSize = 268;

// The kinds a second start sends, in this order: start, bring-to-front, one argument per
// command-line argument, end.
inline constexpr std::uint32_t kSlotStart = 0;
inline constexpr std::uint32_t kSlotBringToFront = 1;
inline constexpr std::uint32_t kSlotArgument = 2;
inline constexpr std::uint32_t kSlotEnd = 3;

struct SlotMessage {
  std::uint32_t messageKind;
  std::uint32_t senderProcessId;
  // Zero-padded; a text of 260 characters or more fills it without a terminating zero.
  char text[kSlotTextSize];
};

static_assert(sizeof(SlotMessage) == kSlotMessageSize);
static_assert(offsetof(SlotMessage, messageKind) == 0);
static_assert(offsetof(SlotMessage, senderProcessId) == 4);
static_assert(offsetof(SlotMessage, text) == 8);

using SlotBytes = std::array<std::uint8_t, kSlotMessageSize>;

// A message with the text laid out as above: only its first 260 characters are kept.
SlotMessage makeSlotMessage(std::uint32_t kind, std::uint32_t senderProcessId,
                            std::string_view text);
SlotBytes slotMessageBytes(const SlotMessage& message);
// Exactly 268 bytes make a message; anything else is refused.
std::optional<SlotMessage> slotMessageFromBytes(const std::uint8_t* bytes, std::size_t size);
// The text up to its first zero, never beyond the field.
std::string_view slotText(const SlotMessage& message);

}  // namespace ringdeck::panel
