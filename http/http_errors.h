#pragma once
// The outcome values of a failed THttpCli request: the StatusCode it reports when no
// server status applies, and the Error codes of its own failures (beside the socket's
// WSA codes, the SOCKS codes and the TLS one).

#include <cstdint>

// What StatusCode says for a request that got no usable reply.
constexpr int32_t kFailedRequestStatus = 404;

constexpr uint16_t kHttpErrorTruncatedBody = 20030;
constexpr uint16_t kHttpErrorBadContentLength = 20031;
constexpr uint16_t kHttpErrorEmptyReply = 20032;
constexpr uint16_t kHttpErrorTooManyRedirects = 20033;
constexpr uint16_t kHttpErrorLineTooLong = 20034;
constexpr uint16_t kHttpErrorStreamWrite = 20035;
// The HTTP proxy refused to open a tunnel to an https server; StatusCode and ReasonPhrase
// are the proxy's.
constexpr uint16_t kHttpErrorProxyRefused = 20036;
// The proxy variables name a proxy the client cannot use.
constexpr uint16_t kHttpErrorProxyUnusable = 20037;
