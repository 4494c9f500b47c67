#pragma once
// The files the web page may send: only those saved.txt lists, each named in a request by
// an id made from its listed path. No text of a request is ever used as a path.

#include <optional>
#include <string>
#include <string_view>

#include "archive/saved_list.h"

// 16 hex digits (FNV-1a, 64 bits) of the path.
std::string SavedFileId(const std::string& path);
// The latest save listed under that id; none when no listed path has it.
std::optional<TSavedFile> ListedFile(std::string_view savedListBytes, const std::string& id);
// Whether the path is listed in the bytes of saved.txt.
bool IsListed(std::string_view savedListBytes, const std::string& path);
// Whether the path names a plain file itself, not a link, folder or device: only such a
// file is sent or read for a loop.
bool IsPlainFile(const std::string& path);
// "image/gif", "image/jpeg", ... by the file's extension; "application/octet-stream" else.
std::string ContentTypeOf(const std::string& path);
