#include <tarnwick/frame/ErrorStyles.h>
#include <tarnwick/frame/HostServices.h>

namespace tarnwick::frame {

bool finish(const std::optional<Error>& pending) {
  if (!pending) return false;
  showMessage(pending->description(), msgbox::OkOnly, pending->note());
  return true;
}

}  // namespace tarnwick::frame
