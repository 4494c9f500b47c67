#include "app/animated_gif.h"

#include <algorithm>
#include <exception>

#include "gif/gif_image.h"
#include "runtime/stream.h"

namespace {

constexpr char kSignature[] = "GIF8";

bool StartsWithSignature(TStream& stream) {
  char head[sizeof kSignature - 1] = {};
  const bool gif = stream.Read(head, sizeof head) == static_cast<int64_t>(sizeof head) &&
                   std::equal(head, head + sizeof head, kSignature);
  stream.Seek(0, soBeginning);
  return gif;
}

}  // namespace

std::shared_ptr<TGIFImage> ReadAnimatedGif(const std::string& fileName) {
  try {
    TFileStream file(fileName, fmOpenRead);
    if (!StartsWithSignature(file)) return nullptr;
    auto image = std::make_shared<TGIFImage>();
    image->LoadFromStream(file);
    return image->Images().Count() > 1 ? image : nullptr;
  } catch (const std::exception&) {
    return nullptr;  // the station showed the still picture; there is nothing more to play
  }
}
