#pragma once
// Resolving a URL reference, such as a Location, against the URL of the document it came
// with (RFC 3986 section 5).

#include <string>

// The absolute URL that reference, found in the document at base (an absolute URL), names:
// RFC 3986 section 5.2, with "." and ".." segments removed and the fragment left out. A
// reference with base's scheme and no authority ("http:x.gif") is relative, as browsers
// take it. The scheme comes out in lower case.
std::string ResolveReference(const std::string& base, const std::string& reference);

// The scheme of a URL in lower case, empty when it has none ("//host/x", "/x", "x.gif").
std::string UrlScheme(const std::string& url);
