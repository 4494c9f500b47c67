#pragma once
// The process-wide registry of picture file formats: file extension -> graphic class.
// Created on first use with four built-in rows (wmf, emf: TMetafile; ico: TIcon; bmp:
// TBitmap); every image module adds its rows when it starts. Lookups scan from the last
// row to the first, so a later registration of an extension shadows an earlier one.

#include <string>
#include <vector>

#include "imaging/graphic_class.h"

struct TFileFormat {
  std::string Extension;  // lower case, without the dot
  std::string Description;
  TGraphicClass GraphicClass;
};

class TFileFormatsList {
 public:
  TFileFormatsList();

  // Appends a row; the extension is stored lower-cased. No check for duplicates.
  void Add(const std::string& Extension, const std::string& Description,
           TGraphicClass GraphicClass);
  // Removes every row whose class is GraphicClass or derived from it.
  void Remove(TGraphicClass GraphicClass);
  // The class of the last row with this extension (compared lower-cased); none when absent.
  TGraphicClass FindExt(const std::string& Extension) const;
  TGraphicClass FindClassName(const std::string& ClassName) const;
  // The filter text for file dialogs and the mask list, over the rows of GraphicClass
  // and its derived classes: "GIF Image (*.gif)|*.gif|..." and "*.gif;*.jpg;...", with an
  // "All (masks)|masks|" entry in front when more than one row is taken.
  void BuildFilterStrings(TGraphicClass GraphicClass, std::string& Descriptions,
                          std::string& Filters) const;

  const std::vector<TFileFormat>& Rows() const { return rows_; }

 private:
  std::vector<TFileFormat> rows_;
};

TFileFormatsList& FileFormats();

// The filter text of BuildFilterStrings for GraphicClass.
std::string GraphicFilter(TGraphicClass GraphicClass);
