#pragma once
// What the station page and the archive page share: the head with its style, and a save
// shown as its thumbnail linked to the file.

#include <string>
#include <vector>

// The page's start up to its <h1>; reloadSeconds 0 for a page that does not reload.
std::string PageStart(const std::string& title, int reloadSeconds);
// A save's thumbnail linked to its file, under a caption of escaped lines. tokenQuery: ""
// or "?token=..." as the request carried it.
std::string SaveFigure(const std::string& path, const std::vector<std::string>& captionLines,
                       const std::string& tokenQuery);
// A save whose file is gone: its caption under "deleted", with nothing to link to.
std::string GoneFigure(const std::vector<std::string>& captionLines);
