#pragma once
// Whether a host is exempt from proxies by a no_proxy list, matched as curl 7.88 matches
// it: the list "*" exempts every host; otherwise entries are separated by commas or
// blanks; a name entry matches the host itself and every host below it ("example.com" and
// ".example.com" both match "example.com" and "charts.example.com"), letter case and a
// trailing dot aside; an IPv4 or IPv6 address entry (IPv6 without brackets) matches that
// address, or a network with "/bits". An entry with a port matches no host.

#include <string>

bool NoProxyMatches(const std::string& host, const std::string& list);
