#include "app/status_texts.h"

#include <algorithm>

#include "program/event_log.h"
#include "runtime/strings.h"

std::string LastSavedText(const std::string& FileName, TDateTime Utc) {
  return "Saved " + Trim(LogStamp(Utc)) + ": " + FileName;
}

std::string NextEventText(const std::optional<TNextEvent>& Next) {
  if (!Next) return "No events scheduled";
  return std::string("Next: ") + (Next->tomorrow ? "tomorrow " : "") + Next->time + " " +
         Next->title;
}

std::string CloseQuestionText(const TNextEvent& Next) {
  return "Nothing is fetched while Isoview is closed. " + NextEventText(Next) +
         ".\n\nClose Isoview?";
}

std::string QueueText(const TQueueReport& Queue) {
  const int waiting = static_cast<int>(Queue.lines.size()) - Queue.running;
  std::string text;
  if (waiting > 0) text = std::to_string(waiting) + " waiting";
  if (Queue.running > 0)
    text += (text.empty() ? "" : ", ") + std::to_string(Queue.running) + " running";
  return text.empty() ? "empty" : text;
}

std::string DownloadProgressText(int64_t Received, int64_t Length) {
  std::string text = "Received " + std::to_string(Received) + " bytes";
  // A length of 0 has no share, and a server that sends more than it announced shows 100%.
  if (Length > 0)
    text += " (" + std::to_string(std::min<int64_t>(100, Received * 100 / Length)) + "%)";
  return text;
}

std::string ProgressText(const TProgressReport& Progress) {
  if (Progress.downloads <= 0) return {};
  const std::string text = DownloadProgressText(Progress.received, Progress.length);
  if (Progress.downloads == 1) return text;
  return std::to_string(Progress.downloads) + " downloads: r" + text.substr(1);
}
