#include <tarnwick/automation/Version.h>

namespace tarnwick {

const char* libraryVersion() noexcept { return TARNWICK_VERSION_TEXT; }

}  // namespace tarnwick
