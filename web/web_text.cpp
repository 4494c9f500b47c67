#include "web/web_text.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const TDateTime kUnixEpoch = EncodeDateTime({1970, 1, 1});

std::string Formatted(TDateTime utc, const char* format) {
  const TDateTimeParts parts = DecodeDateTime(utc);
  char text[32];
  std::snprintf(text, sizeof text, format, parts.year, parts.month, parts.day, parts.hour,
                parts.minute, parts.second);
  return text;
}

}  // namespace

std::string HtmlEscaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&#39;";
        break;
      default:
        // The files' text is single bytes, read as Latin-1 like the windows read it.
        if (static_cast<unsigned char>(c) >= 128)
          escaped += "&#" + std::to_string(static_cast<unsigned char>(c)) + ";";
        else
          escaped += c;
    }
  }
  return escaped;
}

std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      json += '\\';
      json += static_cast<char>(c);
    } else if (c < 32 || c >= 127) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      json += escape;
    } else {
      json += static_cast<char>(c);
    }
  }
  return json + "\"";
}

std::string Latin1ToUtf8(const std::string& text) {
  std::string utf8;
  for (unsigned char c : text) {
    if (c < 128) {
      utf8 += static_cast<char>(c);
    } else {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

std::string QueryValue(const std::string& text) {
  std::string value;
  for (unsigned char c : text) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
        (c != 0 && std::strchr("-._~", c))) {
      value += static_cast<char>(c);
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", c);
      value += escape;
    }
  }
  return value;
}

std::string JsonTime(const std::optional<TDateTime>& utc) {
  return utc ? "\"" + Formatted(*utc, "%04d-%02d-%02dT%02d:%02d:%02dZ") + "\"" : "null";
}

std::string PageTime(const std::optional<TDateTime>& utc) {
  return utc ? Formatted(*utc, "%04d-%02d-%02d %02d:%02d") : "";
}

int64_t UnixSeconds(TDateTime utc) {
  return (utc.ms - kUnixEpoch.ms) / 1000;
}
