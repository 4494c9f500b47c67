#pragma once
// The archive page: the saves of saved.txt a page at a time, newest first, grouped by UTC
// day, each as its thumbnail linked to the file, with the same pages as the archive window.

#include <string>

#include "archive/archive_pages.h"

// tokenQuery: "" or "?token=..." as the request carried it, added to every link.
std::string ArchivePage(const TArchivePages& pages, int pageIndex, const std::string& tokenQuery);
