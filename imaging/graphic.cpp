#include "imaging/graphic.h"

#include "runtime/atomic_file.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "runtime/strings.h"

namespace {
constexpr const char* kAssignError = "Cannot assign a %s to a %s";
}

TGraphicClass TGraphic::StaticClass() {
  return TGraphicClass::DefineRoot("TGraphic");
}

void TGraphic::LoadFromFile(const std::string& FileName) {
  TFileStream file(FileName, fmOpenRead);
  LoadFromStream(file);
}

void TGraphic::SaveToFile(const std::string& FileName) {
  SaveFileAtomically(FileName, [this](TStream& file) { SaveToStream(file); });
}

void TGraphic::Assign(const TGraphic& Source) {
  Source.AssignTo(*this);
}

void TGraphic::AssignTo(TGraphic& Dest) const {
  RaiseAssignError(this, Dest);
}

void TGraphic::SetPalette(const TPalette&) {}

void TGraphic::SetTransparent(bool Value) {
  if (Value == transparent_) return;
  transparent_ = Value;
  Changed();
}

void TGraphic::Changed() {
  if (OnChange) OnChange(*this);
}

void TGraphic::Progress(TProgressStage Stage, uint8_t PercentDone, bool RedrawNow, const TRect& R,
                        const std::string& Msg) {
  if (OnProgress) OnProgress(*this, Stage, PercentDone, RedrawNow, R, Msg);
}

void RaiseAssignError(const TGraphic* Source, const TGraphic& Dest) {
  throw EConvertError(Format(kAssignError, Source ? Source->ClassName() : "nil", Dest.ClassName()));
}

void TGraphic::ClearWarnings() {
  truncated_ = false;
  warnings_.clear();
}

void TGraphic::AddWarning(const std::string& Text) {
  if (!warnings_.empty()) warnings_ += '\n';
  warnings_ += Text;
}

void TGraphic::MarkTruncated(const std::string& Warning) {
  truncated_ = true;
  AddWarning(Warning);
}

void TGraphic::TakeWarnings(const TGraphic& Source) {
  if (!Source.Warnings().empty()) AddWarning(Source.Warnings());
  truncated_ = truncated_ || Source.Truncated();
}
