#include "imaging/metafile.h"

#include "runtime/exceptions.h"

TGraphicClass TMetafile::StaticClass() {
  return TGraphicClass::Define<TMetafile, TGraphic>("TMetafile");
}

void TMetafile::LoadFromStream(TStream&) {
  throw EInvalidGraphic(kMetafilesNotSupported);
}

void TMetafile::SetWidth(int) {
  throw EInvalidGraphicOperation(kMetafilesNotSupported);
}

void TMetafile::SetHeight(int) {
  throw EInvalidGraphicOperation(kMetafilesNotSupported);
}
