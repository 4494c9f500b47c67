#include "imaging/picture.h"

#include "imaging/bitmap.h"
#include "imaging/file_formats.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {
constexpr const char* kUnknownExtension = "Unknown picture file extension (.%s)";
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> Value) {
  graphic_ = std::move(Value);
  if (graphic_) Connect(*graphic_);
  Changed();
}

TBitmap& TPicture::Bitmap() {
  if (auto* bitmap = dynamic_cast<TBitmap*>(graphic_.get())) return *bitmap;
  auto bitmap = std::make_unique<TBitmap>();
  TBitmap& result = *bitmap;
  SetGraphic(std::move(bitmap));
  return result;
}

void TPicture::LoadFromFile(const std::string& FileName) {
  const std::string extension = Copy(ExtractFileExt(FileName), 2, INT32_MAX);
  const TGraphicClass graphicClass = FileFormats().FindExt(extension);
  if (!graphicClass) throw EInvalidGraphic(Format(kUnknownExtension, extension.c_str()));
  std::unique_ptr<TGraphic> graphic = graphicClass.Create();
  ConnectProgress(*graphic);
  graphic->LoadFromFile(FileName);
  SetGraphic(std::move(graphic));
}

void TPicture::SaveToFile(const std::string& FileName) {
  if (graphic_) graphic_->SaveToFile(FileName);
}

void TPicture::RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                  TGraphicClass GraphicClass) {
  FileFormats().Add(Extension, Description, GraphicClass);
}

void TPicture::UnregisterGraphicClass(TGraphicClass GraphicClass) {
  FileFormats().Remove(GraphicClass);
}

void TPicture::Connect(TGraphic& Graphic) {
  Graphic.OnChange = [this](TGraphic&) { Changed(); };
  ConnectProgress(Graphic);
}

void TPicture::ConnectProgress(TGraphic& Graphic) {
  Graphic.OnProgress = [this](TGraphic& Sender, TProgressStage Stage, uint8_t PercentDone,
                              bool RedrawNow, const TRect& R, const std::string& Msg) {
    if (OnProgress) OnProgress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
  };
}

void TPicture::Changed() {
  if (OnChange) OnChange(*this);
}
