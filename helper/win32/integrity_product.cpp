// The product goes by the levels the system reports.
#include "integrity_win32.h"

namespace ringdeck::helper::win32 {

IntegrityReading processIntegrity(DWORD processId) { return readIntegrityLevel(processId); }

}  // namespace ringdeck::helper::win32
