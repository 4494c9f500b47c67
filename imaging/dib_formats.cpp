#include "imaging/dib_formats.h"

#include <algorithm>

#include "imaging/dib_graphic.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

constexpr const char* kNotSupported =
    "Graphic files of %s format are not supported or not registered";

std::string LookupKey(const std::string& fileName) {
  const std::string extension = ExtractFileExt(fileName);
  return UpperCase(extension.empty() ? fileName : extension.substr(1));
}

}  // namespace

void TDibFormatsList::Add(const std::string& Extension, TGraphicClass GraphicClass) {
  rows_.push_back({UpperCase(Extension), GraphicClass});
}

void TDibFormatsList::Remove(TGraphicClass GraphicClass) {
  std::erase_if(rows_, [GraphicClass](const TDibFormat& row) {
    return row.GraphicClass.InheritsFrom(GraphicClass);
  });
}

TGraphicClass TDibFormatsList::Find(const std::string& FileName) const {
  const std::string key = LookupKey(FileName);
  const auto found = std::find_if(rows_.begin(), rows_.end(),
                                  [&](const TDibFormat& row) { return row.Extension == key; });
  return found == rows_.end() ? TGraphicClass() : found->GraphicClass;
}

std::unique_ptr<TDibGraphic> TDibFormatsList::CreateGraphic(const std::string& FileName) const {
  const TGraphicClass graphicClass = Find(FileName);
  if (!graphicClass || !graphicClass.InheritsFrom(TDibGraphic::StaticClass()))
    throw EImagingError(Format(kNotSupported, ExtractFileExt(FileName).c_str()));
  std::unique_ptr<TGraphic> graphic = graphicClass.Create();
  return std::unique_ptr<TDibGraphic>(static_cast<TDibGraphic*>(graphic.release()));
}

TDibFormatsList& DibFormats() {
  static TDibFormatsList formats;
  return formats;
}
