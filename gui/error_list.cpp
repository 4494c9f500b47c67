#include "gui/error_list.h"

#include "runtime/strings.h"

namespace {

// "×" before the repeat count, in the single-byte text of the windows.
constexpr const char* kRepeatMark = "\xd7";
constexpr const char* kCut = "...";

std::string UtcStamp(std::time_t when) {
  tm utc{};
  gmtime_r(&when, &utc);
  return Format("%04d-%02d-%02d %02d:%02d:%02d UTC", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
}

// One line of the box per error, however the message is broken or however long it is.
std::string ShownText(const std::string& message) {
  std::string shown = message.substr(0, TErrorList::kMaxMessageLength);
  for (char& c : shown)
    if (c == '\r' || c == '\n') c = ' ';
  return shown.size() < message.size() ? shown + kCut : shown;
}

// A station's message names its line already ("Radar (http://...): cause"); the source
// in front of it would say the same twice.
bool NamesItsSource(const std::string& message, const std::string& source) {
  if (message.compare(0, source.size(), source) != 0) return false;
  const std::string rest = message.substr(source.size(), 2);
  return rest == " (" || rest == ": ";
}

}  // namespace

// The source and the message separated by a byte that neither holds.
std::string TErrorList::KeyOf(const std::string& source, const std::string& message) {
  return source + '\0' + message;
}

void TErrorList::Add(const std::string& source, const std::string& message, std::time_t when) {
  const std::string shown = ShownText(message);
  const std::string key = KeyOf(source, shown);
  TEntry entry{source, shown, when, 1};
  if (const auto found = byKey_.find(key); found != byKey_.end()) {
    entry.count = found->second->count + 1;
    entries_.erase(found->second);
  } else if (entries_.size() == kMaxShown) {
    DropOldest();
  }
  entries_.push_back(std::move(entry));
  byKey_[key] = std::prev(entries_.end());
}

void TErrorList::DropOldest() {
  const TEntry& oldest = entries_.front();
  earlier_ += oldest.count;
  byKey_.erase(KeyOf(oldest.source, oldest.message));
  entries_.pop_front();
}

void TErrorList::Clear() {
  entries_.clear();
  byKey_.clear();
  earlier_ = 0;
}

std::string TErrorList::LineOf(const TEntry& entry) {
  std::string line = UtcStamp(entry.when) + "  ";
  if (!entry.source.empty() && !NamesItsSource(entry.message, entry.source))
    line += entry.source + ": ";
  line += entry.message;
  if (entry.count > 1) line += "  " + std::string(kRepeatMark) + IntToStr(entry.count);
  return line;
}

std::string TErrorList::Text() const {
  std::string text;
  for (const TEntry& entry : entries_) text += (text.empty() ? "" : "\n") + LineOf(entry);
  if (earlier_ > 0)
    text += "\n" + IntToStr(earlier_) +
            (earlier_ == 1 ? " earlier message is" : " earlier messages are") + " in isoview.log";
  return text;
}

std::string TErrorList::LatestMessage() const {
  return entries_.empty() ? std::string() : entries_.back().message;
}
