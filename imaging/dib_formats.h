#pragma once
// The image library's own list of the formats it reads into a TDibGraphic: upper-case file
// extensions and their graphic classes. The image viewer looks here first and falls back
// to the picture format registry for everything else.

#include <memory>
#include <string>
#include <vector>

#include "imaging/graphic_class.h"

class TDibGraphic;

struct TDibFormat {
  std::string Extension;  // upper case, without the dot
  TGraphicClass GraphicClass;
};

class TDibFormatsList {
 public:
  void Add(const std::string& Extension, TGraphicClass GraphicClass);
  // Removes every row whose class is GraphicClass or derived from it.
  void Remove(TGraphicClass GraphicClass);
  // The class for the name's extension (the whole name when it has none), compared
  // without case; none when it is not registered.
  TGraphicClass Find(const std::string& FileName) const;
  // An empty graphic of that class. Raises EImagingError "Graphic files of %s format are
  // not supported or not registered" with the extension (dot included).
  std::unique_ptr<TDibGraphic> CreateGraphic(const std::string& FileName) const;

  const std::vector<TDibFormat>& Rows() const { return rows_; }

 private:
  std::vector<TDibFormat> rows_;
};

TDibFormatsList& DibFormats();
