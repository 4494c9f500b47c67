#include "source_check/source_check_reply.h"

#include "http/http_reply_lines.h"
#include "runtime/strings.h"

namespace {

// A decimal count, or -1 for anything else: the reply is only reported, never trusted.
std::int64_t CountOrUnknown(const std::string& text) {
  const std::string digits = Trim(text);
  if (digits.empty() || digits.size() > 18 ||
      digits.find_first_not_of("0123456789") != std::string::npos)
    return -1;
  return std::stoll(digits);
}

// "bytes 0-1023/5000" gives 5000; "bytes 0-1023/*" and anything else -1.
std::int64_t RangeTotal(const std::string& contentRange) {
  const size_t slash = contentRange.rfind('/');
  return slash == std::string::npos ? -1 : CountOrUnknown(contentRange.substr(slash + 1));
}

}  // namespace

TReplyFacts ReadReplyFacts(const std::vector<std::string>& headerLines) {
  TReplyFacts facts;
  std::int64_t rangeTotal = -1;
  for (const std::string& line : headerLines) {
    std::string name, value;
    if (!SplitHeaderField(line, name, value)) continue;
    if (name == "content-type")
      facts.ContentType = Trim(value);
    else if (name == "content-length")
      facts.ContentLength = CountOrUnknown(value);
    else if (name == "content-range")
      rangeTotal = RangeTotal(value);
    else if (name == "last-modified")
      facts.LastModified = Trim(value);
  }
  if (rangeTotal >= 0) facts.ContentLength = rangeTotal;
  return facts;
}

std::string StatusText(int statusCode, const std::string& reasonPhrase) {
  return Trim(std::to_string(statusCode) + " " + reasonPhrase);
}
