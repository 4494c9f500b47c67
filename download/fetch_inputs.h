#pragma once
// What a fetch job takes from its queued schedule line, and where it downloads to.

#include <string>

struct TFetchInputs {
  std::string Neg;       // position 6: passed to printing
  std::string URL;       // positions 60-199, trimmed
  std::string Print;     // position 200, lower-cased: "n" suppresses printing
  std::string Filename;  // positions 202-456 without trailing blanks; empty: no save
  std::string Title;     // positions 8-59, trimmed: names the line in messages
};

TFetchInputs CutFetchInputs(const std::string& line);

// How the window and the log name a line: its title, or its URL (without the password)
// when it has none.
std::string ShownTitle(const TFetchInputs& inputs);
// A schedule line as the queue box and the log show it: its URL without the password,
// padded to the URL's length so that the columns stay where they were.
std::string ShownLine(const std::string& line);
// How messages name a line: "Title (URL)", the URL without its password.
std::string FetchJobName(const TFetchInputs& inputs);

// The program folder followed by the URL's last segment (the text after its last "/",
// at most kMaxSegmentLength characters; the whole text when it has none), untrimmed:
// the preview window uses it as it is, the fetch job trims it.
inline constexpr size_t kMaxSegmentLength = 255;
std::string DownloadFileName(const std::string& programFolder, const std::string& url);
