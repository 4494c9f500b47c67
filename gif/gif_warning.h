#pragma once
// Warnings of the GIF codec: defects it reports and works around. Every part of the model
// forwards them to its image, whose warning event names the part as the sender.

#include <functional>
#include <string>

// The severity of every warning the codec issues.
inline constexpr int kGIFWarningSeverity = 1;

class TGIFWarningSource {
 public:
  virtual ~TGIFWarningSource() = default;
};

using TGIFWarningEvent =
    std::function<void(const TGIFWarningSource& sender, int severity, const std::string& message)>;
