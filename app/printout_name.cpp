#include "app/printout_name.h"

#include "runtime/strings.h"

namespace {

// Where the extension starts in the last part of the name; the end when it has none.
size_t ExtensionStart(const std::string& name) {
  const size_t slash = name.find_last_of('/');
  const size_t dot = name.find_last_of('.');
  const size_t partStart = slash == std::string::npos ? 0 : slash + 1;
  // A leading dot names a hidden file, not an extension.
  if (dot == std::string::npos || dot <= partStart) return name.size();
  return dot;
}

}  // namespace

std::string PrintoutFileName(const std::string& Chosen, TDateTime Utc,
                             const std::function<bool(const std::string&)>& Exists) {
  const TDateTimeParts parts = DecodeDateTime(Utc);
  const size_t extension = ExtensionStart(Chosen);
  const std::string stem =
      Chosen.substr(0, extension) + Format("-%04d%02d%02d-%02d%02d%02d", parts.year, parts.month,
                                           parts.day, parts.hour, parts.minute, parts.second);
  const std::string suffix = Chosen.substr(extension);
  std::string name = stem + suffix;
  for (int number = 2; Exists(name); ++number) name = stem + "-" + IntToStr(number) + suffix;
  return name;
}
