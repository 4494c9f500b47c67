#pragma once
// Turning the texts of the socket properties into numbers. The three resolvers raise
// ESocketException with their texts when the text cannot be resolved.

#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "http/socket_address.h"

// Four decimal numbers of at most 255 with three dots between them, blanks around allowed.
bool IsDottedIP(const std::string& text);
// An IPv4 address in network order: dotted text, or a host name looked up (blocking).
in_addr_t WSocketResolveHost(const std::string& text);
// The address of an IPv6 literal, with or without brackets ("::1", "[::1]"); nothing for
// any other text.
std::optional<TSocketAddress> IPv6Literal(const std::string& text);
// Every address of a host in the order to try them: an IPv6 literal (brackets allowed),
// dotted text, or the answers of a host-name lookup of both families (blocking).
std::vector<TSocketAddress> WSocketResolveHostAll(const std::string& text);
// The addresses with the two families taken in turn, starting with the family of the first
// (the resolver's preference), as RFC 8305 orders connection attempts.
std::vector<TSocketAddress> InterleavedByFamily(const std::vector<TSocketAddress>& addresses);
// A port number in host order: decimal (up to the first non-digit) or a service name.
uint16_t WSocketResolvePort(const std::string& port, const std::string& protocol);
// A protocol number: decimal or a protocol name.
int WSocketResolveProto(const std::string& text);
