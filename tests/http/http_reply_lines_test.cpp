#include "http/http_reply_lines.h"

#include <gtest/gtest.h>

#include "runtime/exceptions.h"

TEST(HttpReplyLines, StatusLines) {
  int code = 0;
  std::string reason;
  EXPECT_TRUE(ParseStatusLine("HTTP/1.0 404 Not Found", code, reason));
  EXPECT_EQ(code, 404);
  EXPECT_EQ(reason, "Not Found");
  EXPECT_TRUE(ParseStatusLine("HTTP/1.1 200 OK", code, reason));
  EXPECT_EQ(code, 200);
  EXPECT_EQ(reason, "OK");
  // No reason phrase at all.
  EXPECT_TRUE(ParseStatusLine("HTTP/1.1 204", code, reason));
  EXPECT_EQ(code, 204);
  EXPECT_EQ(reason, "");

  code = 0;
  EXPECT_FALSE(ParseStatusLine("http/1.0 200 OK", code, reason));
  EXPECT_FALSE(ParseStatusLine("HTTP/2 200", code, reason));
  EXPECT_FALSE(ParseStatusLine("HTTP/1.", code, reason));
  EXPECT_EQ(code, 0);
  // A status line whose code is not a number is the runtime's conversion error.
  EXPECT_THROW(ParseStatusLine("HTTP/1.0 2x0 OK", code, reason), EConvertError);
}

TEST(HttpReplyLines, HeaderFields) {
  std::string name, value;
  EXPECT_TRUE(SplitHeaderField("Content-Type: \t image/GIF", name, value));
  EXPECT_EQ(name, "content-type");
  EXPECT_EQ(value, "image/GIF");
  // The first ':' separates; later ones belong to the value.
  EXPECT_TRUE(SplitHeaderField("Location:http://h:81/x", name, value));
  EXPECT_EQ(name, "location");
  EXPECT_EQ(value, "http://h:81/x");
  EXPECT_TRUE(SplitHeaderField("X-Empty:", name, value));
  EXPECT_EQ(value, "");
  EXPECT_FALSE(SplitHeaderField("no colon here", name, value));
}

TEST(HttpReplyLines, ContentRange) {
  std::string first, last;
  ParseContentRange("bytes 100-199/1000", first, last);
  EXPECT_EQ(first, "100");
  EXPECT_EQ(last, "199");
  // Garbage yields what is there, never a crash.
  ParseContentRange("x", first, last);
  EXPECT_EQ(first, "");
  ParseContentRange("bytes -/", first, last);
  EXPECT_EQ(first, "");
  EXPECT_EQ(last, "");
}

TEST(HttpReplyLines, HtmlFirstLine) {
  EXPECT_TRUE(StartsHtmlDocument("<HTML>"));
  EXPECT_TRUE(StartsHtmlDocument("<hTmL><body>"));
  EXPECT_FALSE(StartsHtmlDocument("<HTM"));
  EXPECT_FALSE(StartsHtmlDocument(" <HTML>"));
}
