#pragma once
// Single-byte text files, line by line. A line ends at CR (one LF right after it belongs to
// the same line end) or at a lone LF, since operators edit these files with ordinary Linux
// editors; the character 26 ends the file. Written lines end in CR LF.

#include <string>
#include <string_view>
#include <vector>

constexpr char kEndOfFileChar = 26;

// The lines of text; a last line without a line end counts, an empty text has none.
std::vector<std::string> SplitTextLines(std::string_view text);

// Raises EFOpenError "Cannot open file %s" when the file cannot be read.
std::vector<std::string> ReadTextFile(const std::string& fileName);
// The first line, empty for an empty file.
std::string ReadFirstLine(const std::string& fileName);

// Replaces the file atomically with the lines, each ended by CR LF.
void WriteTextFile(const std::string& fileName, const std::vector<std::string>& lines);

struct TTextFileLines {
  std::string fileName;
  std::vector<std::string> lines;
};

// Replaces files that belong together: all are written before any is replaced (see
// SaveFilesAtomically).
void WriteTextFiles(const std::vector<TTextFileLines>& files);
