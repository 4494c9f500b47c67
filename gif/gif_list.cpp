#include "gif/gif_list.h"

#include "gif/gif_extension_list.h"
#include "gif/gif_image.h"

void ForwardListWarning(TGIFImage* image, const TGIFWarningSource& list, int severity,
                        const std::string& message) {
  if (image != nullptr) image->Warning(list, severity, message);
}

TGIFExtensionList::TGIFExtensionList(TGIFSubImage& frame)
    : TGIFList(frame.Image()), frame_(frame) {}
