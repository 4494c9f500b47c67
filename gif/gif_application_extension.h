#pragma once
// Application extensions (label 0xFF): an 11-byte identifier (application name and
// authentication code) and a chain of data sub-blocks whose meaning the identifier gives.

#include <string>
#include <vector>

#include "gif/gif_extension.h"

class TGIFApplicationExtension : public TGIFExtension {
 public:
  static constexpr uint8_t kLabel = 0xFF;
  static constexpr uint8_t kBlockSize = 11;
  // Some writers give 10 and count the first data size byte as the identifier's last.
  static constexpr uint8_t kShortBlockSize = 10;
  // Routes to the looping or the unknown kind; never loads by itself.
  static const TGIFExtensionClass Class;

  explicit TGIFApplicationExtension(TGIFSubImage& frame);

  uint8_t ExtensionType() const override { return kLabel; }
  // Always kBlockSize bytes.
  const std::string& Identifier() const { return identifier_; }
  void SetIdentifier(const std::string& identifier);

  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;

 protected:
  virtual void LoadData(TStream& stream) = 0;
  // The data sub-blocks and the terminator.
  virtual void SaveData(TStream& stream) = 0;
  // The block size written before the identifier; bytes past it are zeros.
  virtual uint8_t SavedBlockSize() const { return kBlockSize; }

 private:
  std::string identifier_;
};

// The looping extension of "NETSCAPE2.0" and "ANIMEXTS1.0".
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
 public:
  static const TGIFExtensionClass Class;

  explicit TGIFAppExtNSLoop(TGIFSubImage& frame);

  // 0 loops for ever.
  uint16_t Loops() const { return loops_; }
  void SetLoops(uint16_t loops) { loops_ = loops; }
  uint32_t BufferSize() const { return bufferSize_; }
  void SetBufferSize(uint32_t size) { bufferSize_ = size; }

 protected:
  void LoadData(TStream& stream) override;
  void SaveData(TStream& stream) override;

 private:
  uint16_t loops_ = 0;
  uint32_t bufferSize_ = 0;
};

// One raw data sub-block, kept byte for byte.
class TGIFBlock {
 public:
  static constexpr size_t kMaxSize = 255;
  // At most kMaxSize bytes.
  explicit TGIFBlock(std::string data);
  uint8_t Size() const { return static_cast<uint8_t>(data_.size()); }
  const std::string& Data() const { return data_; }
  void SaveToStream(TStream& stream) const;

 private:
  std::string data_;
};

// Any other identifier: the data is kept as it was read and written back unchanged.
class TGIFUnknownAppExtension : public TGIFApplicationExtension {
 public:
  static const TGIFExtensionClass Class;

  explicit TGIFUnknownAppExtension(TGIFSubImage& frame) : TGIFApplicationExtension(frame) {}

  std::vector<TGIFBlock>& Blocks() { return blocks_; }

 protected:
  void LoadData(TStream& stream) override;
  void SaveData(TStream& stream) override;
  uint8_t SavedBlockSize() const override;

 private:
  std::vector<TGIFBlock> blocks_;
};

inline constexpr char kNetscapeLoopIdentifier[] = "NETSCAPE2.0";
inline constexpr char kAnimExtsLoopIdentifier[] = "ANIMEXTS1.0";
