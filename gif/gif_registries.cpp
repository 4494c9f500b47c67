#include "gif/gif_registries.h"

#include "gif/gif_application_extension.h"
#include "gif/gif_comment_extension.h"
#include "gif/gif_graphic_control_extension.h"
#include "gif/gif_text_extension.h"

TExtensionList::TExtensionList()
    : entries_{{TGIFTextExtension::kLabel, &TGIFTextExtension::Class},
               {TGIFGraphicControlExtension::kLabel, &TGIFGraphicControlExtension::Class},
               {TGIFCommentExtension::kLabel, &TGIFCommentExtension::Class},
               {TGIFApplicationExtension::kLabel, &TGIFApplicationExtension::Class}} {}

const TGIFExtensionClass* TExtensionList::Find(uint8_t label) const {
  for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
    if (entry->first == label) return entry->second;
  }
  return nullptr;
}

TAppExtensionList::TAppExtensionList()
    : entries_{{kNetscapeLoopIdentifier, &TGIFAppExtNSLoop::Class},
               {kAnimExtsLoopIdentifier, &TGIFAppExtNSLoop::Class}} {}

const TGIFExtensionClass* TAppExtensionList::Find(const std::string& identifier) const {
  for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
    if (entry->first == identifier) return entry->second;
  }
  return nullptr;
}

// C++ makes the first use of a function's static safe from several threads: one builds
// it, the others wait for it.
const TExtensionList& ExtensionList() {
  static const TExtensionList list;
  return list;
}

const TAppExtensionList& AppExtensionList() {
  static const TAppExtensionList list;
  return list;
}
