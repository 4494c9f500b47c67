#include "http/url_helpers.h"

#include <algorithm>
#include <cctype>

#include "runtime/strings.h"

namespace {

constexpr char kDefaultScheme[] = "http";
constexpr char kDefaultDocumentName[] = "document.htm";
constexpr size_t kMaxDocumentNameLength = 255;
constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kDayNames[] = "MonTueWedThuFriSatSun";
constexpr char kMonthNames[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
// The runtime's day 2, 1 January 1900, was a Monday.
constexpr int64_t kFirstMonday = 2;

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsSchemeCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The text up to and including its last '/', or "/" when it has none.
std::string UpToLastSlash(const std::string& text) {
  const size_t slash = text.rfind('/');
  return slash == std::string::npos ? "/" : text.substr(0, slash + 1);
}

std::string ResolveParentPath(const std::string& base, std::string rest) {
  std::string folder = UpToLastSlash(base);
  for (;;) {
    folder.pop_back();  // its trailing '/'
    folder = UpToLastSlash(folder);
    if (!StartsWith(rest, "../")) break;
    rest.erase(0, 3);
  }
  return folder + rest;
}

// Where the authority starts in url when it has no valid "scheme://"; npos when the
// whole URL turned out to be a path, which is then already stored.
size_t AuthorityWithoutScheme(const std::string& url, TUrlParts& parts, std::string& path) {
  if (StartsWith(url, "/")) {
    parts.scheme = kDefaultScheme;
    if (url.size() > 1 && url[1] != '/') {
      path = url;
      return std::string::npos;
    }
    return 1;
  }
  const std::string lower = LowerCase(url.substr(0, 7));
  if (StartsWith(lower, "http:")) {
    parts.scheme = kDefaultScheme;
    if (url.size() > 6 && url[6] != '/') {
      path = url.substr(5);
      return std::string::npos;
    }
    return 6;
  }
  if (StartsWith(lower, "mailto:")) {
    parts.scheme = "mailto";
    return url.find(':') + 1;
  }
  return 0;
}

// "[::1]:8080" is the IPv6 address ::1 and port 8080; the host goes without brackets.
void SplitHostPort(const std::string& text, TUrlParts& parts) {
  const size_t close = text.find(']');
  if (StartsWith(text, "[") && close != std::string::npos &&
      (close + 1 == text.size() || text[close + 1] == ':')) {
    parts.host = text.substr(1, close - 1);
    if (close + 1 < text.size()) parts.port = text.substr(close + 2);
    return;
  }
  const size_t colon = text.rfind(':');
  parts.host = text.substr(0, colon);
  if (colon != std::string::npos) parts.port = text.substr(colon + 1);
}

void SplitAuthority(const std::string& authority, TUrlParts& parts) {
  const size_t at = authority.rfind('@');
  if (at == std::string::npos) {
    SplitHostPort(authority, parts);
    return;
  }
  SplitHostPort(authority.substr(at + 1), parts);
  const std::string userPart = authority.substr(0, at);
  const size_t separator = userPart.find(':');
  parts.user = userPart.substr(0, separator);
  if (separator != std::string::npos) parts.password = userPart.substr(separator + 1);
}

// The '@' that ends the password starting behind colon, npos when there is none. It is the
// last '@' before the authority's end, or, when the password itself holds a '/' or '?' (a
// raw password may), the last '@' of the URL, unless a port stands behind the colon.
size_t PasswordEnd(const std::string& url, size_t colon) {
  const size_t authorityEnd = std::min(url.find_first_of("/?", colon), url.size());
  const size_t at = url.rfind('@', authorityEnd - 1);
  if (at != std::string::npos && at > colon) return at;
  const std::string afterColon = url.substr(colon + 1, authorityEnd - colon - 1);
  if (afterColon.find_first_not_of("0123456789") == std::string::npos) return std::string::npos;
  const size_t last = url.rfind('@');
  return last != std::string::npos && last > colon ? last : std::string::npos;
}

// Whole days since day zero, rounded down also before it.
int64_t WholeDays(TDateTime value) {
  const int64_t days = value.ms / kMillisecondsPerDay;
  return days * kMillisecondsPerDay > value.ms ? days - 1 : days;
}

}  // namespace

void SplitURL(const std::string& url, TUrlParts& parts, std::string& path) {
  const std::string base = path;
  parts = TUrlParts{};
  path.clear();
  if (url.empty()) return;
  if (StartsWith(url, "./")) {
    path = UpToLastSlash(base) + url.substr(2);
    return;
  }
  if (StartsWith(url, "../")) {
    path = ResolveParentPath(base, url.substr(3));
    return;
  }

  size_t authorityStart = 0;
  const size_t separator = url.find("://");
  bool validScheme = separator != std::string::npos;
  for (size_t i = 0; validScheme && i < separator; ++i) validScheme = IsSchemeCharacter(url[i]);
  if (validScheme) {
    parts.scheme = url.substr(0, separator);
    authorityStart = separator + 3;
  } else {
    if (separator != std::string::npos) parts.scheme = kDefaultScheme;
    authorityStart = AuthorityWithoutScheme(url, parts, path);
    if (authorityStart == std::string::npos) return;
  }

  // "http:" alone has its authority start behind its end.
  const std::string rest = url.substr(std::min(authorityStart, url.size()));
  size_t pathStart = rest.find('/');
  const size_t query = rest.find('?');
  if (query < pathStart) pathStart = query;
  if (pathStart != std::string::npos) path = rest.substr(pathStart);
  SplitAuthority(rest.substr(0, pathStart), parts);
}

std::string UrlHost(const std::string& host) {
  return host.find(':') == std::string::npos ? host : "[" + host + "]";
}

std::string UrlWithoutPassword(const std::string& url) {
  const size_t separator = url.find("://");
  size_t start = 0;
  if (separator != std::string::npos && url.find_first_of("/?@") > separator)
    start = separator + 3;
  else if (StartsWith(url, "//"))
    start = 2;
  else if (StartsWith(url, "/"))
    return url;
  const size_t colon = url.find(':', start);
  // No user name holds these: that ':' belongs to a host's port, a path or a query.
  if (colon == std::string::npos || url.find_first_of("@[]/?", start) < colon) return url;
  const size_t at = PasswordEnd(url, colon);
  if (at == std::string::npos) return url;
  std::string shown = url;
  if (colon == start)
    shown.erase(start, at + 1 - start);
  else
    shown.erase(colon, at - colon);
  return shown;
}

std::string PercentDecode(const std::string& text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto hex = [&](size_t at) {
      return at < text.size() && std::isxdigit(static_cast<unsigned char>(text[at]));
    };
    if (text[i] == '%' && hex(i + 1) && hex(i + 2)) {
      decoded += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

std::string PercentEncodeUnsafe(const std::string& text) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == ' ' || byte > 127) {
      encoded += '%';
      encoded += kHexDigits[byte >> 4];
      encoded += kHexDigits[byte & 0xF];
    } else {
      encoded += c;
    }
  }
  return encoded;
}

bool HoldsControlCharacter(const std::string& text) {
  constexpr unsigned char kDelete = 127;
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < ' ' || byte == kDelete;
  });
}

int RevPos(char c, const std::string& text) {
  const size_t at = text.rfind(c);
  return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

std::string PathPrefix(const std::string& path) {
  size_t i = std::min(path.find('?'), path.size());
  while (i > 0 && path[i - 1] != '/' && path[i - 1] != ':') --i;
  return path.substr(0, i);
}

std::string DeriveDocumentName(const std::string& path) {
  const std::string beforeQuery = path.substr(0, path.find('?'));
  if (beforeQuery.empty() || beforeQuery.back() == '/') return kDefaultDocumentName;
  const std::string name = beforeQuery.substr(beforeQuery.rfind('/') + 1, kMaxDocumentNameLength);
  return name.substr(0, name.find('?'));
}

std::string ReplaceExtension(const std::string& name, const std::string& extension) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return name + "." + extension;
  return name.substr(0, dot + 1) + extension;
}

std::string Base64Encode(const std::string& bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t count = std::min<size_t>(3, bytes.size() - i);
    uint32_t group = 0;
    for (size_t j = 0; j < 3; ++j)
      group = (group << 8) | (j < count ? static_cast<unsigned char>(bytes[i + j]) : 0u);
    for (size_t j = 0; j < 4; ++j)
      text += j <= count ? kBase64Alphabet[(group >> (18 - 6 * j)) & 0x3F] : '=';
  }
  return text;
}

std::string HttpDate(TDateTime value) {
  const TDateTimeParts parts = DecodeDateTime(value);
  const int64_t weekDay = ((WholeDays(value) - kFirstMonday) % 7 + 7) % 7;
  return std::string(kDayNames + weekDay * 3, 3) + ", " +
         Format("%2.2d %s %4.4d %2.2d:%2.2d:%2.2d", parts.day,
                std::string(kMonthNames + (parts.month - 1) * 3, 3).c_str(), parts.year, parts.hour,
                parts.minute, parts.second);
}
