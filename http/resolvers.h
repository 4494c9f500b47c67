#pragma once
// Turning the texts of the socket properties into numbers. The three resolvers raise
// ESocketException with their texts when the text cannot be resolved.

#include <netinet/in.h>

#include <cstdint>
#include <string>

// Four decimal numbers of at most 255 with three dots between them, blanks around allowed.
bool IsDottedIP(const std::string& text);
// An IPv4 address in network order: dotted text, or a host name looked up (blocking).
in_addr_t WSocketResolveHost(const std::string& text);
// A port number in host order: decimal (up to the first non-digit) or a service name.
uint16_t WSocketResolvePort(const std::string& port, const std::string& protocol);
// A protocol number: decimal or a protocol name.
int WSocketResolveProto(const std::string& text);
