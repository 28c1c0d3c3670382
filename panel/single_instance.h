// The control panel's single-instance channel: the first start owns a mailslot; a later start
// puts its request into it, wakes the owner with a broadcast message and ends. The owner reads
// the channel on its user-interface thread when the broadcast arrives (and once when its main
// window is built) and comes to the front when asked.
//
// The rules live here, over two small seams: MailslotPort (the mailslot and the broadcast;
// panel/win32/Tmailslot.* wraps the real ones) and ChannelWindow (what the owner's window does).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "slot_message.h"

namespace ringdeck::panel {

// The mailslot path is this prefix followed by the name given at creation; the broadcast
// message is registered under the whole path.
inline constexpr std::string_view kSlotPathPrefix = "\\\\.\\mailslot\\Once\\";
inline constexpr std::string_view kPanelSlotName = "MailSlot\\RingDeck";
// The mailslot's "no message waiting" size.
inline constexpr std::uint32_t kNoMessage = 0xFFFFFFFF;
// PendingInfo asks at most this often while the next message has a size it cannot read.
inline constexpr int kPendingQuestions = 10;

std::string slotPathFor(std::string_view name);

class MailslotPort {
 public:
  virtual ~MailslotPort() = default;
  // True when this process created the mailslot and holds its read handle.
  virtual bool owner() const = 0;
  // The size of the next waiting message (kNoMessage when none) and the number of waiting
  // messages; false when the question fails. Only asked by the owner.
  virtual bool queryInfo(std::uint32_t& nextSize, std::uint32_t& count) = 0;
  // Reads one message into buffer; true with the number of bytes read, false when the read
  // fails (then nothing is removed). Only done by the owner.
  virtual bool read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead) = 0;
  // Opens the mailslot for writing, writes one message and closes it; false when it cannot
  // be opened, else true with the number of bytes written.
  virtual bool write(const std::uint8_t* bytes, std::uint32_t size, std::uint32_t& written) = 0;
  // Wakes the running instance: mail is waiting.
  virtual void announce() = 0;
};

// What the running instance's window does for the channel.
class ChannelWindow {
 public:
  virtual ~ChannelWindow() = default;
  virtual void beep() = 0;
  // Minimise the application, restore it and bring it to the front.
  virtual void bringToFront() = 0;
};

// Without the read handle: count 0, nextSize 0, false. Otherwise the mailslot is asked until it
// reports "no message" or a 268-byte message, the question fails, or it has been asked
// kPendingQuestions times; a failed last question gives count 0, nextSize 0, false. Else count
// and nextSize (0 for "no message") as reported; true when count > 0.
bool PendingInfo(MailslotPort& slot, std::uint32_t& count, std::uint32_t& nextSize);

// Reads one message, only when one of exactly 268 bytes is next; a message of another size is
// neither read nor removed.
bool ReadSlotMessage(MailslotPort& slot, SlotMessage& message);

// Writes one message; true exactly when all 268 bytes were written.
bool WriteSlotMessage(MailslotPort& slot, std::uint32_t processId, std::uint32_t kind,
                      std::string_view text);

// A second start's hand-over: start, bring-to-front, each argument in order, end, then the
// broadcast. Failed writes are not looked at: the request is simply lost.
void HandOver(MailslotPort& slot, std::uint32_t processId,
              const std::vector<std::string>& arguments);

// The running instance's handling of one copy of the broadcast message. aimedAtMainWindow:
// the copy was addressed to the main window, or the main window is the active form. A copy
// not aimed at it gives a beep and empties the channel without effect; otherwise a
// bring-to-front message brings the application to the front. Messages of other kinds are
// read and dropped.
void ServeChannel(MailslotPort& slot, bool aimedAtMainWindow, ChannelWindow& window);

// ServeChannel reads at most this many messages at one wake-up, so that a process that keeps
// writing cannot hold the user-interface thread; the rest waits for the next broadcast.
inline constexpr int kMaxMessagesPerWake = 1000;

}  // namespace ringdeck::panel
