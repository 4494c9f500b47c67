#include "http/url_reference.h"

#include <cctype>
#include <optional>

#include "runtime/strings.h"

namespace {

// The parts of a URI reference (RFC 3986 section 3 and appendix B), the fragment left out.
struct TReference {
  std::string scheme;  // lower case; empty: none
  std::optional<std::string> authority;
  std::string path;
  std::optional<std::string> query;
};

bool IsSchemeStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

bool IsSchemeCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '-' || c == '.';
}

// The length of the scheme that text starts with, 0 when it starts with none.
size_t SchemeLength(const std::string& text) {
  if (text.empty() || !IsSchemeStart(text[0])) return 0;
  size_t i = 1;
  while (i < text.size() && IsSchemeCharacter(text[i])) ++i;
  return i < text.size() && text[i] == ':' ? i : 0;
}

TReference Parse(const std::string& text) {
  TReference parts;
  std::string rest = text.substr(0, text.find('#'));
  if (const size_t scheme = SchemeLength(rest); scheme > 0) {
    parts.scheme = LowerCase(rest.substr(0, scheme));
    rest.erase(0, scheme + 1);
  }
  if (rest.compare(0, 2, "//") == 0) {
    const size_t end = std::min(rest.find_first_of("/?", 2), rest.size());
    parts.authority = rest.substr(2, end - 2);
    rest.erase(0, end);
  }
  const size_t question = rest.find('?');
  if (question != std::string::npos) parts.query = rest.substr(question + 1);
  parts.path = rest.substr(0, question);
  return parts;
}

// RFC 3986 section 5.2.4: "." and ".." segments go, a ".." with the segment before it.
std::string RemoveDotSegments(std::string input) {
  std::string output;
  const auto dropLastSegment = [&output] {
    const size_t slash = output.rfind('/');
    output.erase(slash == std::string::npos ? 0 : slash);
  };
  while (!input.empty()) {
    if (input.compare(0, 3, "../") == 0) {
      input.erase(0, 3);
    } else if (input.compare(0, 2, "./") == 0 || input.compare(0, 3, "/./") == 0) {
      input.erase(0, 2);
    } else if (input == "/.") {
      input = "/";
    } else if (input.compare(0, 4, "/../") == 0) {
      input.erase(0, 3);
      dropLastSegment();
    } else if (input == "/..") {
      input = "/";
      dropLastSegment();
    } else if (input == "." || input == "..") {
      input.clear();
    } else {
      const size_t next = input.find('/', 1);
      const size_t length = next == std::string::npos ? input.size() : next;
      output += input.substr(0, length);
      input.erase(0, length);
    }
  }
  return output;
}

// RFC 3986 section 5.2.3.
std::string Merge(const TReference& base, const std::string& path) {
  if (base.authority && base.path.empty()) return "/" + path;
  const size_t slash = base.path.rfind('/');
  return slash == std::string::npos ? path : base.path.substr(0, slash + 1) + path;
}

std::string Recompose(const TReference& parts) {
  std::string url = parts.scheme + ":";
  if (parts.authority) url += "//" + *parts.authority;
  url += parts.path;
  if (parts.query) url += "?" + *parts.query;
  return url;
}

}  // namespace

std::string ResolveReference(const std::string& base, const std::string& reference) {
  const TReference b = Parse(base);
  TReference r = Parse(reference);
  if (r.scheme == b.scheme && !r.authority) r.scheme.clear();
  TReference t;
  if (!r.scheme.empty()) {
    t = r;
    t.path = RemoveDotSegments(r.path);
    return Recompose(t);
  }
  t.scheme = b.scheme;
  if (r.authority) {
    t.authority = r.authority;
    t.path = RemoveDotSegments(r.path);
    t.query = r.query;
    return Recompose(t);
  }
  t.authority = b.authority;
  if (r.path.empty()) {
    t.path = b.path;
    t.query = r.query ? r.query : b.query;
  } else {
    t.path = RemoveDotSegments(r.path[0] == '/' ? r.path : Merge(b, r.path));
    t.query = r.query;
  }
  return Recompose(t);
}

std::string UrlScheme(const std::string& url) {
  return LowerCase(url.substr(0, SchemeLength(url)));
}
