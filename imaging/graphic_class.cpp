#include "imaging/graphic_class.h"

#include "imaging/graphic.h"
#include "runtime/exceptions.h"

TGraphicClass TGraphicClass::DefineRoot(const char* name) {
  static const Info info{name, nullptr, nullptr};
  return TGraphicClass(&info);
}

const char* TGraphicClass::ClassName() const {
  return info_ ? info_->name : "";
}

TGraphicClass TGraphicClass::ClassParent() const {
  return TGraphicClass(info_ ? info_->parent : nullptr);
}

bool TGraphicClass::InheritsFrom(TGraphicClass ancestor) const {
  for (const Info* info = info_; info; info = info->parent)
    if (info == ancestor.info_) return true;
  return false;
}

std::unique_ptr<TGraphic> TGraphicClass::Create() const {
  std::unique_ptr<TGraphic> graphic = info_ && info_->create ? info_->create() : nullptr;
  if (!graphic)
    throw EInvalidGraphicOperation(std::string("Cannot create an instance of ") + ClassName());
  return graphic;
}
