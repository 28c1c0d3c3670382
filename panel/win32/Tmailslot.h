// TMailSlot: the control panel's single-instance channel over a Windows mailslot and a
// broadcast window message. One object per process, made before any window and destroyed when
// the message loop has ended (first start) or after the hand-over (second start). Everything
// runs on the user-interface thread; the rules are those of panel/single_instance.h.
//
// Program entry:
//   TMailSlot slot(kPanelSlotName);
//   if (!slot.owner()) { HandOverToRunningInstance(slot, CommandLineArguments()); return 0; }
// and every message the message loop receives goes through HandleMessage first.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "single_instance.h"
#include "slot_message.h"

namespace ringdeck::panel::win32 {

class TMailSlot final : private MailslotPort {
 public:
  // Creates the mailslot "\\.\mailslot\Once\" + name (messages of 268 bytes, read time-out 0,
  // default security) and registers the broadcast message under the same path. When the
  // mailslot exists already (another instance owns it) or cannot be made, this process is a
  // second instance: slotHandle stays INVALID_HANDLE_VALUE.
  explicit TMailSlot(std::string_view name);
  ~TMailSlot() override;
  TMailSlot(const TMailSlot&) = delete;
  TMailSlot& operator=(const TMailSlot&) = delete;

  HANDLE slotHandle = INVALID_HANDLE_VALUE;
  std::string slotPath;
  DWORD processId = 0;
  UINT messageId = 0;

  // True when this process owns the channel (is the running instance).
  bool owner() const override;
  // Closes the channel; the next start becomes the owner.
  void Close();

  bool PendingInfo(DWORD& count, DWORD& nextSize);
  bool ReadSlotMessage(SlotMessage& message);
  bool WriteSlotMessage(std::uint32_t kind, std::string_view text);
  // Posts messageId (wParam 0, lParam 0) to the top-level windows of all other applications.
  void AnnounceMail();

  // The application-wide handler: false for any message but messageId (left to normal
  // processing); for messageId serves the channel and returns true. addressedTo is the
  // message's window, activeForm the form the user last had active in this application (not
  // GetActiveWindow(), which is null while another application is in front). bringToFront is
  // called for a bring-to-front request aimed at the main window.
  bool HandleMessage(UINT message, HWND addressedTo, HWND mainWindow, HWND activeForm,
                     const std::function<void()>& bringToFront);

 private:
  friend void HandOverToRunningInstance(TMailSlot& slot, const std::vector<std::string>& arguments);
  bool queryInfo(std::uint32_t& nextSize, std::uint32_t& count) override;
  bool read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead) override;
  bool write(const std::uint8_t* bytes, std::uint32_t size, std::uint32_t& written) override;
  void announce() override;
};

// A second start's hand-over to the running instance: start, bring-to-front, the arguments in
// order, end, then the broadcast. Lets the running instance take the foreground, which this
// process (just started by the user) may give away.
void HandOverToRunningInstance(TMailSlot& slot, const std::vector<std::string>& arguments);

// The program's command-line arguments 1..n as the C runtime split them.
std::vector<std::string> CommandLineArguments();

// Minimises the main window, restores it and brings it to the front.
void BringApplicationToFront(HWND mainWindow);

}  // namespace ringdeck::panel::win32
