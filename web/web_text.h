#pragma once
// Texts as the web page, the JSON and the metrics write them.

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/date_time.h"

// The text with & < > " ' and the bytes above 127 (Latin-1, as the windows read the
// files) written as HTML entities.
std::string HtmlEscaped(const std::string& text);
// The text as a JSON string, quotes included; bytes below 32 and above 126 as \u escapes
// (Latin-1).
std::string JsonString(const std::string& text);
// The single-byte text (Latin-1) as UTF-8.
std::string Latin1ToUtf8(const std::string& text);
// The text as a URL's query value: every byte but letters, digits and - . _ ~ as "%XY".
std::string QueryValue(const std::string& text);
// "2026-12-08T10:15:05Z", or JSON's null for none.
std::string JsonTime(const std::optional<TDateTime>& utc);
// "2026-12-08 10:15" for the page; "" for none.
std::string PageTime(const std::optional<TDateTime>& utc);
// Seconds since 1970 (UTC), for the metrics.
int64_t UnixSeconds(TDateTime utc);
