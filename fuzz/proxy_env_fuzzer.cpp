// Feeds the choice of a proxy from the environment with arbitrary text: the input is
// "URL" LF "proxy variable's value" LF "no_proxy list".
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/no_proxy.h"
#include "http/proxy_env.h"

namespace {

std::string Line(const std::string& input, size_t& at) {
  const size_t end = input.find('\n', at);
  const std::string line = input.substr(at, end - at);
  at = end == std::string::npos ? input.size() : end + 1;
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  size_t at = 0;
  const std::string url = Line(input, at), value = Line(input, at), list = Line(input, at);
  const TProxyEnvironment environment = {{"all_proxy", value}, {"no_proxy", list}};
  const TProxyChoice choice = ChooseProxy(url, environment);
  if (choice.Problem.empty() == (choice.Kind == TProxyKind::kUnusable)) abort();
  const bool proxied = choice.Kind == TProxyKind::kHttp || choice.Kind == TProxyKind::kSocks;
  if (proxied &&
      (choice.Host.empty() || choice.Port.find_first_not_of("0123456789") != std::string::npos))
    abort();
  // A list that exempts the host exempts it from every proxy.
  if (NoProxyMatches(ProxiedHost(url), list) && !list.empty() && choice.Kind != TProxyKind::kDirect)
    abort();
  ProxyReport(environment);
  return 0;
}
