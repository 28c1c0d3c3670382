// The reload message to the helper's and the engine's hidden windows, found by class name,
// and the start of the helper.
#pragma once

#include "peer_messenger.h"

namespace ringdeck::panel::win32 {

class Win32PeerMessenger final : public PeerMessenger {
 public:
  // Registers Reload.All.Preferences once, as the main window is created.
  Win32PeerMessenger();
  bool sendReloadAllPreferences(Peer peer, std::uint32_t currentSet,
                                std::uint32_t recordCount) override;
  void StartHelper() override;

 private:
  unsigned reloadMessage_;
};

}  // namespace ringdeck::panel::win32
