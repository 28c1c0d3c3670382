// How the control panel reaches the other programs after a save: the reload message to the
// helper's and the engine's windows, or a start of the helper when its window is missing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ringdeck::panel {

enum class Peer { Helper, Engine };

class PeerMessenger {
 public:
  virtual ~PeerMessenger() = default;
  // Sends Reload.All.Preferences to the peer's window and waits for it; false when the
  // peer has no window.
  virtual bool sendReloadAllPreferences(Peer peer, std::uint32_t currentSet,
                                        std::uint32_t recordCount) = 0;
  // Starts "RingDeck Helper.exe" from the control panel's own folder; does not wait, and a
  // failure to start is not the caller's concern.
  virtual void StartHelper() = 0;
};

// The helper's program beside the control panel's own: everything after the last "\" of
// ownProgramPath replaced by "RingDeck Helper.exe".
std::string helperProgramPath(std::string_view ownProgramPath);

}  // namespace ringdeck::panel
