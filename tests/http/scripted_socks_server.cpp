#include "tests/http/scripted_socks_server.h"

TScriptedSocksServer::TScriptedSocksServer(std::vector<TSocksStep> steps)
    : steps_(std::move(steps)), server_([this](TCustomWSocket& connection) {
        connection.OnDataAvailable = [this](TCustomWSocket* sender, uint16_t) {
          char buffer[4096];
          const int count = sender->Receive(buffer, sizeof buffer);
          if (count > 0) received.append(buffer, count);
          for (size_t length; step_ < steps_.size() && StepDue(length);) {
            const TSocksStep& step = steps_[step_++];
            consumed_ += length;
            sender->SendStr(step.reply);
            if (step.close) sender->CloseDelayed();
          }
        };
      }) {}

bool TScriptedSocksServer::StepDue(size_t& length) const {
  const TSocksStep& step = steps_[step_];
  const std::string_view pending = std::string_view(received).substr(consumed_);
  if (step.until.empty()) {
    length = step.await;
    return pending.size() >= step.await;
  }
  const size_t at = pending.find(step.until);
  length = at + step.until.size();
  return at != std::string_view::npos;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (const int value : values) bytes.push_back(static_cast<char>(value));
  return bytes;
}
