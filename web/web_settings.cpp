#include "web/web_settings.h"

#include <charconv>

namespace {

constexpr const char* kLoopback = "127.0.0.1";

std::optional<uint16_t> Port(const std::string& text) {
  unsigned port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || port == 0 ||
      port > 65535)
    return std::nullopt;
  return static_cast<uint16_t>(port);
}

}  // namespace

std::optional<TWebAddress> ParseWebAddress(const std::string& text) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) {
    const auto port = Port(text);
    return port ? std::optional(TWebAddress{kLoopback, *port}) : std::nullopt;
  }
  std::string host = text.substr(0, colon);
  const auto port = Port(text.substr(colon + 1));
  if (!port) return std::nullopt;
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  else if (host.find(':') != std::string::npos)
    return std::nullopt;  // an IPv6 address goes in brackets
  return TWebAddress{host.empty() ? kLoopback : host, *port};
}

TWebSettings ReadWebSettings(const TSettingsSource& source, const std::string& commandLineAddress,
                             std::vector<std::string>& problems) {
  TWebSettings settings;
  settings.token = source.Value(kWebTokenKey).value_or("");
  const std::string text =
      commandLineAddress.empty() ? source.Value(kWebAddressKey).value_or("") : commandLineAddress;
  if (text.empty()) return settings;
  settings.address = ParseWebAddress(text);
  if (!settings.address)
    problems.push_back("The web page's address \"" + text +
                       "\" is no HOST:PORT; the page is not served");
  return settings;
}
