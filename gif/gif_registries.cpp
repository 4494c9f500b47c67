#include "gif/gif_registries.h"

#include <memory>

#include "gif/gif_application_extension.h"
#include "gif/gif_comment_extension.h"
#include "gif/gif_graphic_control_extension.h"
#include "gif/gif_text_extension.h"

namespace {
std::unique_ptr<TExtensionList> extensionList;
std::unique_ptr<TAppExtensionList> appExtensionList;
}  // namespace

TExtensionList::TExtensionList() {
  Add(TGIFTextExtension::kLabel, &TGIFTextExtension::Class);
  Add(TGIFGraphicControlExtension::kLabel, &TGIFGraphicControlExtension::Class);
  Add(TGIFCommentExtension::kLabel, &TGIFCommentExtension::Class);
  Add(TGIFApplicationExtension::kLabel, &TGIFApplicationExtension::Class);
}

void TExtensionList::Add(uint8_t label, const TGIFExtensionClass* extensionClass) {
  entries_.emplace_back(label, extensionClass);
}

const TGIFExtensionClass* TExtensionList::Find(uint8_t label) const {
  for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
    if (entry->first == label) return entry->second;
  }
  return nullptr;
}

TAppExtensionList::TAppExtensionList() {
  Add(kNetscapeLoopIdentifier, &TGIFAppExtNSLoop::Class);
  Add(kAnimExtsLoopIdentifier, &TGIFAppExtNSLoop::Class);
}

void TAppExtensionList::Add(const std::string& identifier,
                            const TGIFExtensionClass* extensionClass) {
  entries_.emplace_back(identifier, extensionClass);
}

const TGIFExtensionClass* TAppExtensionList::Find(const std::string& identifier) const {
  for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
    if (entry->first == identifier) return entry->second;
  }
  return nullptr;
}

TExtensionList& ExtensionList() {
  if (!extensionList) extensionList = std::make_unique<TExtensionList>();
  return *extensionList;
}

TAppExtensionList& AppExtensionList() {
  if (!appExtensionList) appExtensionList = std::make_unique<TAppExtensionList>();
  return *appExtensionList;
}

void DestroyExtensionRegistries() {
  extensionList.reset();
  appExtensionList.reset();
}
