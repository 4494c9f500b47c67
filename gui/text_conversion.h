#pragma once
// The files are single-byte text of no known code page: each byte maps to one character
// and back, so text read from a file and edited in a window is written back unchanged.

#include <QString>
#include <string>

inline QString ToQString(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToStdString(const QString& text) {
  return text.toLatin1().toStdString();
}
