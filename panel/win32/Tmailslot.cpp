#include "Tmailslot.h"

#include <cstdlib>

#include "win32_log.h"

namespace ringdeck::panel::win32 {

namespace {

class FunctionWindow final : public ChannelWindow {
 public:
  explicit FunctionWindow(const std::function<void()>& front) : front_(front) {}
  void beep() override { MessageBeep(0); }
  void bringToFront() override {
    if (front_) front_();
  }

 private:
  const std::function<void()>& front_;
};

}  // namespace

TMailSlot::TMailSlot(std::string_view name)
    : slotPath(slotPathFor(name)), processId(GetCurrentProcessId()) {
  // Failure is the ordinary sign of a running instance (the name exists); no log.
  slotHandle = CreateMailslotA(slotPath.c_str(), kSlotMessageSize, 0, nullptr);
  messageId = RegisterWindowMessageA(slotPath.c_str());
  if (messageId == 0) ringdeck::win32::logLastError("RegisterWindowMessageA");
}

TMailSlot::~TMailSlot() { Close(); }

void TMailSlot::Close() {
  if (slotHandle != INVALID_HANDLE_VALUE) CloseHandle(slotHandle);
  slotHandle = INVALID_HANDLE_VALUE;
}

bool TMailSlot::owner() const { return slotHandle != INVALID_HANDLE_VALUE; }

bool TMailSlot::PendingInfo(DWORD& count, DWORD& nextSize) {
  std::uint32_t c = 0;
  std::uint32_t n = 0;
  const bool pending = panel::PendingInfo(*this, c, n);
  count = c;
  nextSize = n;
  return pending;
}

bool TMailSlot::ReadSlotMessage(SlotMessage& message) {
  return panel::ReadSlotMessage(*this, message);
}

bool TMailSlot::WriteSlotMessage(std::uint32_t kind, std::string_view text) {
  return panel::WriteSlotMessage(*this, processId, kind, text);
}

void TMailSlot::AnnounceMail() { announce(); }

bool TMailSlot::HandleMessage(UINT message, HWND addressedTo, HWND mainWindow, HWND activeForm,
                              const std::function<void()>& bringToFront) {
  if (messageId == 0 || message != messageId) return false;
  const bool aimed = mainWindow != nullptr && (addressedTo == mainWindow || activeForm == mainWindow);
  FunctionWindow window(bringToFront);
  ServeChannel(*this, aimed, window);
  return true;
}

bool TMailSlot::queryInfo(std::uint32_t& nextSize, std::uint32_t& count) {
  DWORD next = 0;
  DWORD waiting = 0;
  if (!GetMailslotInfo(slotHandle, nullptr, &next, &waiting, nullptr)) {
    ringdeck::win32::logLastError("GetMailslotInfo");
    return false;
  }
  nextSize = next;
  count = waiting;
  return true;
}

bool TMailSlot::read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead) {
  DWORD got = 0;
  if (!ReadFile(slotHandle, buffer, size, &got, nullptr)) {
    ringdeck::win32::logLastError("ReadFile");
    return false;
  }
  bytesRead = got;
  return true;
}

bool TMailSlot::write(const std::uint8_t* bytes, std::uint32_t size, std::uint32_t& written) {
  HANDLE file = CreateFileA(slotPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ringdeck::win32::logLastError("CreateFileA");
    return false;
  }
  DWORD put = 0;
  const BOOL ok = WriteFile(file, bytes, size, &put, nullptr);
  if (!ok) ringdeck::win32::logLastError("WriteFile");
  CloseHandle(file);
  written = ok ? put : 0;
  return true;
}

void TMailSlot::announce() {
  DWORD recipients = BSM_APPLICATIONS;
  // 0x12: post (do not wait for the receivers) and skip this process's own windows.
  BroadcastSystemMessageA(BSF_IGNORECURRENTTASK | BSF_POSTMESSAGE, &recipients, messageId, 0, 0);
}

void HandOverToRunningInstance(TMailSlot& slot, const std::vector<std::string>& arguments) {
  // The user just started this process, so it may pass the foreground on; without this the
  // running instance could only flash in the taskbar.
  AllowSetForegroundWindow(ASFW_ANY);
  HandOver(slot, slot.processId, arguments);
}

std::vector<std::string> CommandLineArguments() {
  std::vector<std::string> arguments;
  for (int i = 1; __argv != nullptr && i < __argc; ++i) arguments.emplace_back(__argv[i]);
  return arguments;
}

void BringApplicationToFront(HWND mainWindow) {
  ShowWindow(mainWindow, SW_MINIMIZE);
  ShowWindow(mainWindow, SW_RESTORE);
  SetForegroundWindow(mainWindow);
}

}  // namespace ringdeck::panel::win32
