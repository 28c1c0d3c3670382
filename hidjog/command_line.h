// The engine's command line: one of three keywords, anywhere, in any letter case.
#pragma once

#include <string_view>

namespace ringdeck::engine {

enum class EngineCommand { None, Run, Install, Remove };

// Scans from the first character; at each character above the blank it tests "-run",
// "-install" and "-remove" in that order, and the first match decides. A keyword may be
// followed by other characters ("-runs" runs).
EngineCommand scanCommandLine(std::string_view arguments);

}  // namespace ringdeck::engine
