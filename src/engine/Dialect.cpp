#include "Dialect.h"

namespace tarnwick::engine {

std::string Dialect::createTemporary(const std::string& name, const std::vector<std::string>& declarations) {
  std::string create = "CREATE TEMP TABLE " + name + " (";
  for (std::size_t i = 0; i < declarations.size(); ++i) create += (i ? ", " : "") + declarations[i];
  return create + ")";
}

std::string Dialect::nameList(const std::vector<std::u16string>& names, const std::vector<bool>* descending) const {
  std::string out;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i) out += ", ";
    out += quoteName(std::u16string_view(names[i]));
    const bool down = descending && i < descending->size() && (*descending)[i];
    if (down) out += " DESC";
    if (descending && writesNullOrder()) out += ' ' + std::string(nullOrder(down));
  }
  return out;
}

}  // namespace tarnwick::engine
