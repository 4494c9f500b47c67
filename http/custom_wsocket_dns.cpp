// TCustomWSocket: asynchronous host-name and address lookups.
#include <arpa/inet.h>

#include <optional>
#include <vector>

#include "http/custom_wsocket.h"
#include "http/resolvers.h"
#include "http/winsock.h"
#include "runtime/strings.h"
#include "runtime/winsock_errors.h"

namespace {

constexpr size_t kMaxReverseLookupLength = 256;

// The address a dotted IPv4 text (as inet_ntoa writes it back) or an IPv6 literal stands
// for; nothing for a host name.
std::optional<std::string> LiteralAddress(const std::string& host) {
  if (IsDottedIP(host)) {
    const in_addr address{WSocket_inet_addr(host.c_str())};
    if (address.s_addr == INADDR_NONE) return std::nullopt;
    return std::string(WSocket_inet_ntoa(address));
  }
  const std::optional<TSocketAddress> address = IPv6Literal(host);
  if (!address) return std::nullopt;
  return address->Text();
}

// The addresses of both families in the order to try them.
std::vector<std::string> OrderedAddresses(const std::vector<std::string>& texts) {
  std::vector<TSocketAddress> addresses;
  for (const std::string& text : texts)
    if (const std::optional<TSocketAddress> address = TSocketAddress::FromText(text))
      addresses.push_back(*address);
  std::vector<std::string> ordered;
  for (const TSocketAddress& address : InterleavedByFamily(addresses))
    ordered.push_back(address.Text());
  return ordered;
}

}  // namespace

void TCustomWSocket::DnsLookup(const std::string& HostName) {
  if (HostName.empty()) {
    ReportError("DNS lookup: invalid host name.");
    TriggerDnsLookupDone(WSAEINVAL);
    return;
  }
  if (dnsLookupHandle_ != 0) WSocket_WSACancelAsyncRequest(dnsLookupHandle_);
  dnsLookupHandle_ = 0;
  dnsResult_.clear();
  dnsResultList_.clear();

  if (const std::optional<std::string> literal = LiteralAddress(HostName)) {
    dnsResult_ = *literal;
    dnsResultList_.push_back(dnsResult_);
    TriggerDnsLookupDone(0);
    return;
  }
  if (window_ == 0) {
    ReportError("DnsLookup: Window not assigned");
    return;
  }
  earlyReplyPending_ = false;
  StartDnsLookup(WSocket_WSAAsyncGetHostByName(window_, WM_ASYNCGETHOSTBYNAME, HostName.c_str(),
                                               &dnsLookupBuffer_),
                 HostName);
}

void TCustomWSocket::ReverseDnsLookup(const std::string& HostAddr) {
  if (HostAddr.empty() || HostAddr.size() > kMaxReverseLookupLength) {
    ReportError("ReverseDnsLookup: Invalid host name.");
    TriggerDnsLookupDone(WSAEINVAL);
    return;
  }
  CancelDnsLookup();
  dnsResult_.clear();
  dnsResultList_.clear();
  const in_addr_t address = WSocket_inet_addr(HostAddr.c_str());
  if (window_ == 0) {
    ReportError("ReverseDnsLookup: Window not assigned");
    return;
  }
  earlyReplyPending_ = false;
  StartDnsLookup(WSocket_WSAAsyncGetHostByAddr(window_, WM_ASYNCGETHOSTBYADDR,
                                               reinterpret_cast<const char*>(&address),
                                               sizeof address, AF_INET, &dnsLookupBuffer_),
                 HostAddr);
}

void TCustomWSocket::StartDnsLookup(TAsyncHandle handle, const std::string& name) {
  dnsLookupHandle_ = handle;
  if (handle == 0) {
    ReportError(
        Format("%s: can't start DNS lookup, error #%d", name.c_str(), WSocket_WSAGetLastError()));
    return;
  }
  // An answer that came while the request was being made is handled now.
  if (earlyReplyPending_) {
    earlyReplyPending_ = false;
    TMessage reply = earlyReply_;
    DispatchSocketMessage(reply);
  }
}

void TCustomWSocket::CancelDnsLookup() {
  if (dnsLookupHandle_ == 0) return;
  const TAsyncHandle handle = dnsLookupHandle_;
  dnsLookupHandle_ = 0;
  if (WSocket_WSACancelAsyncRequest(handle) != 0) {
    RaiseSocketError("WSACancelAsyncRequest");
    return;
  }
  if (!destroying_) TriggerDnsLookupDone(WSAEINTR);
}

bool TCustomWSocket::TakeLookupReply(const TMessage& message) {
  if (dnsLookupHandle_ == 0) {
    earlyReply_ = message;
    earlyReplyPending_ = true;
    return false;
  }
  if (message.WParam != dnsLookupHandle_) return false;  // of a cancelled lookup
  dnsLookupHandle_ = 0;
  return true;
}

void TCustomWSocket::WMAsyncGetHostByName(const TMessage& message) {
  if (!TakeLookupReply(message)) return;
  const uint16_t error = static_cast<uint16_t>(SelectError(message.LParam));
  if (error == 0) {
    dnsResultList_ = OrderedAddresses(dnsLookupBuffer_.h_addresses);
    if (!dnsResultList_.empty()) dnsResult_ = dnsResultList_.front();
  }
  TriggerDnsLookupDone(error);
}

void TCustomWSocket::WMAsyncGetHostByAddr(const TMessage& message) {
  if (!TakeLookupReply(message)) return;
  const uint16_t error = static_cast<uint16_t>(SelectError(message.LParam));
  if (error == 0) {
    dnsResult_ = dnsLookupBuffer_.h_name;
    dnsResultList_.assign(1, dnsResult_);
  }
  TriggerDnsLookupDone(error);
}
