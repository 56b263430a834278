// The form description loader: any text loads as a form or is refused with
// an error that names its line; a loaded form answers for its controls.
#include "FuzzInput.h"

#include <tarnwick/automation/Object.h>
#include <tarnwick/host/FormDescription.h>

using namespace tarnwick;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::string_view text = input.rest();
  try {
    const ComPtr<host::Form> form = host::loadFormText(text, fuzz::scratchFolder());
    const Object object(form.as<IDispatch>());
    (void)object.get(u"Controls");
  } catch (const Error& e) {
    fuzz::check(e.description().starts_with(u"line "), "a refusal that does not name its line", e.description());
  }
  return 0;
}
