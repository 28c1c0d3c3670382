#include "single_instance.h"

namespace ringdeck::panel {

std::string slotPathFor(std::string_view name) {
  std::string path(kSlotPathPrefix);
  path += name;
  return path;
}

bool PendingInfo(MailslotPort& slot, std::uint32_t& count, std::uint32_t& nextSize) {
  count = 0;
  nextSize = 0;
  if (!slot.owner()) return false;
  std::uint32_t size = 0;
  std::uint32_t waiting = 0;
  bool answered = false;
  for (int asked = 0; asked < kPendingQuestions; ++asked) {
    answered = slot.queryInfo(size, waiting);
    if (!answered || size == kNoMessage || size == kSlotMessageSize) break;
  }
  if (!answered) return false;
  count = waiting;
  nextSize = size == kNoMessage ? 0 : size;
  return count > 0;
}

bool ReadSlotMessage(MailslotPort& slot, SlotMessage& message) {
  std::uint32_t count = 0;
  std::uint32_t nextSize = 0;
  if (!PendingInfo(slot, count, nextSize) || nextSize != kSlotMessageSize) return false;
  SlotBytes bytes{};
  std::uint32_t got = 0;
  if (!slot.read(bytes.data(), kSlotMessageSize, got) || got != kSlotMessageSize) return false;
  const auto read = slotMessageFromBytes(bytes.data(), got);
  if (!read) return false;
  message = *read;
  return true;
}

bool WriteSlotMessage(MailslotPort& slot, std::uint32_t processId, std::uint32_t kind,
                      std::string_view text) {
  const SlotBytes bytes = slotMessageBytes(makeSlotMessage(kind, processId, text));
  std::uint32_t written = 0;
  return slot.write(bytes.data(), kSlotMessageSize, written) && written == kSlotMessageSize;
}

void HandOver(MailslotPort& slot, std::uint32_t processId,
              const std::vector<std::string>& arguments) {
  WriteSlotMessage(slot, processId, kSlotStart, {});
  WriteSlotMessage(slot, processId, kSlotBringToFront, {});
  for (const std::string& argument : arguments)
    WriteSlotMessage(slot, processId, kSlotArgument, argument);
  WriteSlotMessage(slot, processId, kSlotEnd, {});
  slot.announce();
}

void ServeChannel(MailslotPort& slot, bool aimedAtMainWindow, ChannelWindow& window) {
  if (!slot.owner()) return;
  if (!aimedAtMainWindow) window.beep();
  std::uint32_t count = 0;
  std::uint32_t nextSize = 0;
  if (!PendingInfo(slot, count, nextSize)) return;
  // Read until nothing readable is left rather than only `count` messages: Wine reports at
  // most one waiting message however many are queued, and a hand-over of six messages comes
  // with a single broadcast. Messages that arrive meanwhile are served now instead of at the
  // next broadcast, which then finds the channel empty.
  SlotMessage message{};
  for (int i = 0; i < kMaxMessagesPerWake && ReadSlotMessage(slot, message); ++i) {
    if (aimedAtMainWindow && message.messageKind == kSlotBringToFront) window.bringToFront();
  }
}

}  // namespace ringdeck::panel
