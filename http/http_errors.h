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
// The reply's header went on past THttpReplyReader::kMaxHeaderSize (a proxy's reply to
// CONNECT too).
constexpr uint16_t kHttpErrorHeaderTooLarge = 20038;
inline constexpr char kHttpHeaderTooLargeText[] = "Reply header too large";
// The request took longer than its MaxTime.
constexpr uint16_t kHttpErrorDeadline = 20039;
// The body went past MaxBodySize.
constexpr uint16_t kHttpErrorBodyTooLarge = 20040;
// The connection closed before the reply's header was complete.
constexpr uint16_t kHttpErrorHeaderCut = 20041;
// The URL, or a Location, holds a byte below 32 or DEL: nothing was sent for it.
constexpr uint16_t kHttpErrorControlCharacter = 20042;
// A Location names a scheme other than http and https.
constexpr uint16_t kHttpErrorUnsupportedRedirect = 20043;
// A redirect's Location is empty.
constexpr uint16_t kHttpErrorEmptyLocation = 20044;
// A chunked body that does not follow the chunked encoding.
constexpr uint16_t kHttpErrorBadChunk = 20045;
