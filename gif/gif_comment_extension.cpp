#include "gif/gif_comment_extension.h"

#include "gif/sub_blocks.h"

const TGIFExtensionClass TGIFCommentExtension::Class =
    OwnExtensionClass<TGIFCommentExtension>("TGIFCommentExtension");

void TGIFCommentExtension::LoadFromStream(TStream& stream) {
  TGIFExtension::LoadFromStream(stream);
  text_ = ReadSubBlocks(stream);
}

void TGIFCommentExtension::SaveToStream(TStream& stream) {
  TGIFExtension::SaveToStream(stream);
  WriteSubBlocks(stream, text_);
}
