#pragma once
// Printing to a PDF file: each printout gets a file of its own beside the chosen one, so
// that a printout never replaces the one before.

#include <functional>
#include <string>

#include "runtime/date_time.h"

// The chosen name with the UTC time to the second put before its extension
// ("/out/print.pdf" at 15:12:03 on 8 Dec 2026: "/out/print-20261208-151203.pdf"), and
// "-2", "-3", ... after that when Exists says a name is taken.
std::string PrintoutFileName(const std::string& Chosen, TDateTime Utc,
                             const std::function<bool(const std::string&)>& Exists);
