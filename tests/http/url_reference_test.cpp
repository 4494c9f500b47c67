// Resolving a Location against the URL of its document: the examples of RFC 3986 section 5.4
// (the fragment left out), and what the client needs beyond them.

#include "http/url_reference.h"

#include <gtest/gtest.h>

TEST(UrlReference, TheExamplesOfRfc3986) {
  const char* const base = "http://a/b/c/d;p?q";
  const std::pair<const char*, const char*> cases[] = {
      // 5.4.1, normal examples.
      {"g:h", "g:h"},
      {"g", "http://a/b/c/g"},
      {"./g", "http://a/b/c/g"},
      {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},
      {"//g", "http://g"},
      {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},
      {"#s", "http://a/b/c/d;p?q"},
      {"g#s", "http://a/b/c/g"},
      {"g?y#s", "http://a/b/c/g?y"},
      {";x", "http://a/b/c/;x"},
      {"g;x", "http://a/b/c/g;x"},
      {"g;x?y#s", "http://a/b/c/g;x?y"},
      {"", "http://a/b/c/d;p?q"},
      {".", "http://a/b/c/"},
      {"./", "http://a/b/c/"},
      {"..", "http://a/b/"},
      {"../", "http://a/b/"},
      {"../g", "http://a/b/g"},
      {"../..", "http://a/"},
      {"../../", "http://a/"},
      {"../../g", "http://a/g"},
      // 5.4.2, abnormal examples.
      {"../../../g", "http://a/g"},
      {"../../../../g", "http://a/g"},
      {"/./g", "http://a/g"},
      {"/../g", "http://a/g"},
      {"g.", "http://a/b/c/g."},
      {".g", "http://a/b/c/.g"},
      {"g..", "http://a/b/c/g.."},
      {"..g", "http://a/b/c/..g"},
      {"./../g", "http://a/b/g"},
      {"./g/.", "http://a/b/c/g/"},
      {"g/./h", "http://a/b/c/g/h"},
      {"g/../h", "http://a/b/c/h"},
      {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
      {"g;x=1/../y", "http://a/b/c/y"},
      {"g?y/./x", "http://a/b/c/g?y/./x"},
      {"g?y/../x", "http://a/b/c/g?y/../x"},
      {"g#s/./x", "http://a/b/c/g"},
      {"http:g", "http://a/b/c/g"},  // the lenient reading browsers take
  };
  for (const auto& [reference, resolved] : cases)
    EXPECT_EQ(ResolveReference(base, reference), resolved) << reference;
}

TEST(UrlReference, WhatTheClientMeetsInLocations) {
  const std::pair<const char*, const char*> cases[] = {
      {"HTTPS://Other.example:8443/x.gif", "https://Other.example:8443/x.gif"},
      {"//me:pw@mirror.example/x", "https://me:pw@mirror.example/x"},
      {"/new chart.gif", "https://charts.example:8443/new chart.gif"},
      {"ftp://files.example/x", "ftp://files.example/x"},
      {"javascript:alert(1)", "javascript:alert(1)"},
      {"data:image/gif;base64,R0lG", "data:image/gif;base64,R0lG"},
  };
  for (const auto& [reference, resolved] : cases)
    EXPECT_EQ(ResolveReference("https://charts.example:8443/dir/a.gif?x=1", reference), resolved)
        << reference;
  EXPECT_EQ(ResolveReference("http://host", "b.gif"), "http://host/b.gif");
  EXPECT_EQ(UrlScheme("JavaScript:alert(1)"), "javascript");
  EXPECT_EQ(UrlScheme("//host/x"), "");
  EXPECT_EQ(UrlScheme("1http://x"), "");
}
