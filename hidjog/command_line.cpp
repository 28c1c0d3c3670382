#include "command_line.h"

#include <string>

namespace ringdeck::engine {

EngineCommand scanCommandLine(std::string_view arguments) {
  std::string text(arguments);
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  const std::string_view t(text);
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (static_cast<unsigned char>(t[i]) <= 32) continue;
    const std::string_view rest = t.substr(i);
    if (rest.starts_with("-run")) return EngineCommand::Run;
    if (rest.starts_with("-install")) return EngineCommand::Install;
    if (rest.starts_with("-remove")) return EngineCommand::Remove;
  }
  return EngineCommand::None;
}

}  // namespace ringdeck::engine
