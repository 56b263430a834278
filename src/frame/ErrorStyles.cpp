#include <tarnwick/frame/ErrorStyles.h>
#include <tarnwick/frame/HostServices.h>

namespace tarnwick::frame {

bool finish(const std::optional<Error>& pending, std::int16_t buttons) {
  if (!pending) return false;
  showMessage(pending->description(), buttons);
  return true;
}

}  // namespace tarnwick::frame
