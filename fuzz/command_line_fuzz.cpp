// Any bytes as the engine's command line: the scan ends, and a keyword it reports is in the text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using ringdeck::engine::EngineCommand;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const EngineCommand c = ringdeck::engine::scanCommandLine(text);
  std::string lower(text);
  for (char& ch : lower)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  const char* keyword = c == EngineCommand::Run       ? "-run"
                        : c == EngineCommand::Install ? "-install"
                        : c == EngineCommand::Remove  ? "-remove"
                                                      : nullptr;
  if (keyword && lower.find(keyword) == std::string::npos) std::abort();
  return 0;
}
