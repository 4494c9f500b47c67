#pragma once
// What a source check reads from a reply's header lines (the status line first).

#include <cstdint>
#include <string>
#include <vector>

struct TReplyFacts {
  std::string ContentType;
  // The document's whole length: a reply to a range gives it after the '/' of its
  // Content-Range. -1 when not given.
  std::int64_t ContentLength = -1;
  std::string LastModified;
};

TReplyFacts ReadReplyFacts(const std::vector<std::string>& headerLines);

// "404 Not Found": the status and its reason as the server gave them.
std::string StatusText(int statusCode, const std::string& reasonPhrase);
