#include "gif/gif_defaults.h"

static_assert(kGIFDefaultDrawOptions == 0x060F);

TGIFImageDefaults& GIFImageDefaults() {
  static TGIFImageDefaults defaults;
  return defaults;
}
