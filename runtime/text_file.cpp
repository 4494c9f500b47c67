#include "runtime/text_file.h"

#include <cstdint>

#include "runtime/atomic_file.h"
#include "runtime/stream.h"

std::vector<std::string> SplitTextLines(std::string_view text) {
  const size_t end = text.find(kEndOfFileChar);
  if (end != std::string_view::npos) text = text.substr(0, end);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t stop = text.find_first_of("\r\n", start);
    if (stop == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, stop - start));
    start = stop + 1;
    if (text[stop] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

std::vector<std::string> ReadTextFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead);
  std::string text(static_cast<size_t>(file.Size()), '\0');
  text.resize(static_cast<size_t>(file.Read(text.data(), static_cast<int64_t>(text.size()))));
  return SplitTextLines(text);
}

std::string ReadFirstLine(const std::string& fileName) {
  const std::vector<std::string> lines = ReadTextFile(fileName);
  return lines.empty() ? std::string() : lines.front();
}

namespace {

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::function<void(TStream&)> TextWriter(std::string text) {
  return [text = std::move(text)](TStream& file) {
    file.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  };
}

}  // namespace

void WriteTextFile(const std::string& fileName, const std::vector<std::string>& lines) {
  SaveFileAtomically(fileName, TextWriter(JoinLines(lines)));
}

void WriteTextFiles(const std::vector<TTextFileLines>& files) {
  std::vector<TFileSave> saves;
  for (const TTextFileLines& file : files)
    saves.push_back({file.fileName, TextWriter(JoinLines(file.lines))});
  SaveFilesAtomically(saves);
}
