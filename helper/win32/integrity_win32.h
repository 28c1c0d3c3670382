// Integrity levels and program names of processes, read the way a program started normally can
// read them: a process opened only for a limited query, its token only for TOKEN_QUERY.
#pragma once

#include <windows.h>

#include <string>

#include "reach.h"

namespace ringdeck::helper::win32 {

// The level of a process's token; nothing when the process cannot be opened for a limited
// query, its token cannot be read, or the system has no integrity levels (before Vista). The
// calls are looked up at run time, so the helper starts on systems without them.
IntegrityReading readIntegrityLevel(DWORD processId);

// The file name (not path) of a process's program, empty when it cannot be read.
std::string programFileName(DWORD processId);

// The level the helper goes by. The product reads it as above; the helper's test build
// (integrity_test_build.cpp) reports chosen programs higher.
IntegrityReading processIntegrity(DWORD processId);

}  // namespace ringdeck::helper::win32
