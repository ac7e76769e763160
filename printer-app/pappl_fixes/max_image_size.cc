// PAPPL 1.3.1 runs its timers under the system's read lock, and
// papplSystemSetMaxImageSize takes the write lock: called from a timer it
// would hang the server. The limit is set once, before the server runs.
// Tested by AppLimitsTest.ImageLargerThanTheServersImageMemoryEndsWithTheReason.
#include "pappl_fixes/pappl_fixes.h"

namespace pappl_fixes {

void SetMaxImageSizeAtStart(pappl_system_t* system, size_t bytes, int width, int height) {
  papplSystemSetMaxImageSize(system, bytes, width, height);
}

}  // namespace pappl_fixes
