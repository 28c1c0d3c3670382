// The setup core's platform interfaces over the Win32 API.
#pragma once

#include "setup_prep.h"

namespace ringdeck::setup::win32 {

class Win32PlatformInfo final : public PlatformInfo {
 public:
  bool isNtFamily() override;
  std::string systemDirectory() override;
  std::string windowsDirectory() override;
  std::string programFile() override;
};

class Win32WindowFinder final : public WindowFinder {
 public:
  bool classExists(std::string_view windowClass) override;
  bool titleExists(std::string_view title) override;
};

class Win32UserPrompts final : public UserPrompts {
 public:
  void showError(std::string_view text, std::string_view caption) override;
  bool confirm(std::string_view text, std::string_view caption) override;
};

}  // namespace ringdeck::setup::win32
