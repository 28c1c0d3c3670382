// A messenger that reaches no other program and starts none: for tests and fuzzers of the
// store, where nothing listens.
#pragma once

#include "peer_messenger.h"

namespace ringdeck::panel {

class QuietPeers final : public PeerMessenger {
 public:
  bool sendReloadAllPreferences(Peer, std::uint32_t, std::uint32_t) override { return true; }
  void StartHelper() override {}
};

}  // namespace ringdeck::panel
