#pragma once
// Graphic control extension (label 0xF9): a frame's disposal, delay and transparent colour.

#include <array>

#include "gif/gif_extension.h"

enum TDisposalMethod : uint8_t { dmNone = 0, dmNoDisposal = 1, dmBackground = 2, dmPrevious = 3 };

class TGIFGraphicControlExtension : public TGIFExtension {
 public:
  static constexpr uint8_t kLabel = 0xF9;
  static constexpr uint8_t kBlockSize = 4;
  static const TGIFExtensionClass Class;

  // The first one made for a frame becomes the frame's graphic control extension.
  explicit TGIFGraphicControlExtension(TGIFSubImage& frame);
  ~TGIFGraphicControlExtension() override;

  uint8_t ExtensionType() const override { return kLabel; }
  bool Transparent() const { return (Packed() & kTransparentFlag) != 0; }
  // Also turns the frame's transparent flag on or off.
  void SetTransparent(bool transparent);
  bool UserInput() const { return (Packed() & kUserInputFlag) != 0; }
  void SetUserInput(bool userInput);
  // 0-7; 4-7 have no defined meaning.
  uint8_t Disposal() const { return (Packed() & kDisposalMask) >> kDisposalShift; }
  void SetDisposal(uint8_t disposal);
  // In hundredths of a second.
  uint16_t Delay() const;
  void SetDelay(uint16_t delay);
  uint8_t TransparentColorIndex() const { return fields_[4]; }
  // An index the frame's active table does not hold warns and stores 0.
  void SetTransparentColorIndex(uint8_t index);

  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;

 private:
  static constexpr uint8_t kTransparentFlag = 0x01;
  static constexpr uint8_t kUserInputFlag = 0x02;
  static constexpr uint8_t kDisposalMask = 0x1C;
  static constexpr int kDisposalShift = 2;

  uint8_t Packed() const { return fields_[1]; }
  void SetFlag(uint8_t flag, bool on);

  // Block size, packed byte, delay (2 bytes), transparent index, terminator.
  std::array<uint8_t, 6> fields_{kBlockSize};
};
