// The service control manager, the registry, processes and message boxes for "-install" and
// "-remove".
#pragma once

#include <windows.h>

#include "engine_setup.h"

namespace ringdeck::engine::win32 {

class Win32ServiceControl final : public ServiceControl {
 public:
  ~Win32ServiceControl() override { closeAll(); }
  bool openManager() override;
  bool createService(const std::string& command) override;
  bool openService() override;
  bool startService() override;
  bool requestStop() override;
  ServiceState queryState() override;
  bool deleteService() override;
  void closeAll() override;

 private:
  SC_HANDLE manager_ = nullptr;
  SC_HANDLE service_ = nullptr;
};

class Win32SetupDesktop final : public SetupDesktop {
 public:
  bool modulePath(std::size_t maxChars, std::string& path) override;
  bool setRunValue(const char* key, const std::string& command) override;
  bool deleteRunValue(const char* key) override;
  bool startProcess(const std::string& command) override;
  bool windowExists(const char* windowClass) override;
  void postQuit(const char* windowClass) override;
  void sendQuit(const char* windowClass) override;
  void sleepMs(std::uint32_t ms) override { Sleep(ms); }
  void message(std::string_view text, MessageIcon icon) override;
};

// GetVersionExA's platform and major version, as setup and run mode see them.
PlatformKind currentPlatform();

}  // namespace ringdeck::engine::win32
