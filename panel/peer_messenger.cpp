#include "peer_messenger.h"

namespace ringdeck::panel {

std::string helperProgramPath(std::string_view ownProgramPath) {
  const std::size_t slash = ownProgramPath.rfind('\\');
  std::string path(slash == std::string_view::npos ? std::string_view{}
                                                   : ownProgramPath.substr(0, slash + 1));
  return path + "RingDeck Helper.exe";
}

}  // namespace ringdeck::panel
