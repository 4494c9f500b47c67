#include "imaging/file_formats.h"

#include <algorithm>

#include "imaging/bitmap.h"
#include "imaging/icon.h"
#include "imaging/metafile.h"
#include "runtime/strings.h"

namespace {
constexpr const char* kAllFilesText = "All";
}

TFileFormatsList::TFileFormatsList() {
  Add("wmf", "Metafiles", TMetafile::StaticClass());
  Add("emf", "Enhanced Metafiles", TMetafile::StaticClass());
  Add("ico", "Icons", TIcon::StaticClass());
  Add("bmp", "Bitmaps", TBitmap::StaticClass());
}

void TFileFormatsList::Add(const std::string& Extension, const std::string& Description,
                           TGraphicClass GraphicClass) {
  rows_.push_back({LowerCase(Extension), Description, GraphicClass});
}

void TFileFormatsList::Remove(TGraphicClass GraphicClass) {
  std::erase_if(rows_, [GraphicClass](const TFileFormat& row) {
    return row.GraphicClass.InheritsFrom(GraphicClass);
  });
}

TGraphicClass TFileFormatsList::FindExt(const std::string& Extension) const {
  const std::string wanted = LowerCase(Extension);
  const auto found = std::find_if(rows_.rbegin(), rows_.rend(),
                                  [&](const TFileFormat& row) { return row.Extension == wanted; });
  return found == rows_.rend() ? TGraphicClass() : found->GraphicClass;
}

TGraphicClass TFileFormatsList::FindClassName(const std::string& ClassName) const {
  const auto found = std::find_if(rows_.rbegin(), rows_.rend(), [&](const TFileFormat& row) {
    return ClassName == row.GraphicClass.ClassName();
  });
  return found == rows_.rend() ? TGraphicClass() : found->GraphicClass;
}

void TFileFormatsList::BuildFilterStrings(TGraphicClass GraphicClass, std::string& Descriptions,
                                          std::string& Filters) const {
  Descriptions.clear();
  Filters.clear();
  int taken = 0;
  for (auto row = rows_.rbegin(); row != rows_.rend(); ++row) {
    if (!row->GraphicClass.InheritsFrom(GraphicClass) || row->Extension.empty()) continue;
    if (taken++ > 0) {
      Descriptions += '|';
      Filters += ';';
    }
    Descriptions += row->Description + " (*." + row->Extension + ")|*." + row->Extension;
    Filters += "*." + row->Extension;
  }
  if (taken > 1)
    Descriptions =
        std::string(kAllFilesText) + " (" + Filters + ")|" + Filters + "|" + Descriptions;
}

TFileFormatsList& FileFormats() {
  static TFileFormatsList formats;
  return formats;
}

std::string GraphicFilter(TGraphicClass GraphicClass) {
  std::string descriptions;
  std::string filters;
  FileFormats().BuildFilterStrings(GraphicClass, descriptions, filters);
  return descriptions;
}
