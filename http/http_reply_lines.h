#pragma once
// Reading the lines of an HTTP reply header: the status line and "name: value" fields.
// The integer fields raise the runtime's EConvertError when they are not decimal.

#include <string>

// True for a line starting exactly "HTTP/1.0" or "HTTP/1.1" (case matters); the code is
// read from characters 10 to 12 and the reason phrase is the text from character 14 on.
bool ParseStatusLine(const std::string& line, int& statusCode, std::string& reasonPhrase);

// A field line: the name before the first ':' in lower case, the value after it with
// its leading blanks skipped. False for a line without ':'.
bool SplitHeaderField(const std::string& line, std::string& name, std::string& value);

// A Content-Range value such as "bytes 100-199/1000" gives "100" and "199".
void ParseContentRange(const std::string& value, std::string& rangeBegin, std::string& rangeEnd);

// A reply without a header: its first line starts with "<HTML>" in any letter case.
bool StartsHtmlDocument(const std::string& line);
