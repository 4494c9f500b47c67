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
constexpr uint16_t kHttpErrorHttpsViaProxy = 20036;
