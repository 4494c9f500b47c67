// Saving GIF images: the bytes fixed for the fetch job's files, versions and packed bytes,
// colour-table optimisation, and bitmaps that come back through giflib and this reader
// with the indices that were written.

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "gif/gif_clipboard.h"
#include "gif/gif_color_table_optimizer.h"
#include "gif/gif_comment_extension.h"
#include "gif/gif_frame_import.h"
#include "gif/gif_graphic_control_extension.h"
#include "gif/gif_image.h"
#include "gif/gif_messages.h"
#include "runtime/exceptions.h"
#include "tests/gif/bitmap_builders.h"
#include "tests/gif/gif_test_util.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/raises.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_bitmaps.h"

namespace {

Bytes Saved(TGIFImage& image) {
  TMemoryStream stream;
  image.SaveToStream(stream);
  return Bytes(stream.Memory(), stream.Memory() + stream.Size());
}

// Saves, then checks that giflib and this reader both give the frames' indices back.
void ExpectRoundTrip(TGIFImage& image) {
  const Bytes bytes = Saved(image);
  const PeerGif peer = ReadGiflibGif(bytes);
  const TLoaded loaded = LoadGIF(bytes);
  ASSERT_EQ(loaded.Error, "");
  ASSERT_EQ(peer.Frames.size(), size_t(image.Images().Count()));
  ASSERT_EQ(loaded.Image->Images().Count(), image.Images().Count());
  for (int i = 0; i < image.Images().Count(); ++i) {
    TGIFSubImage& frame = image.Images()[i];
    const Bytes written(frame.Data(), frame.Data() + frame.DataSize());
    EXPECT_EQ(peer.Frames[size_t(i)].Pixels, written) << "giflib, frame " << i;
    TGIFSubImage& read = loaded.Image->Images()[i];
    EXPECT_EQ(Bytes(read.Data(), read.Data() + read.DataSize()), written) << "reader";
  }
}

TGIFSubImage& LocalFrame(TGIFImage& image, int width, int height, int colors) {
  TGIFSubImage& frame = AddFrame(image, 0, 0, width, height, 0);
  for (int i = 0; i < colors; ++i) frame.ColorMap().Add(ColorValue({uint8_t(i), 0, 0}));
  return frame;
}

}  // namespace

TEST(GIFWriter, BitmapWithTheDefaultsSavesAsTheFetchJobsFile) {
  TGIFImage image;
  image.Assign(Filled(2, 2, {47, 48, 255}));
  const Bytes bytes = Saved(image);
  // Header, descriptor, table, code size, one sub-block, terminator, trailer.
  ASSERT_EQ(bytes.size(), 13u + 10 + 768 + 1 + 1 + bytes[13 + 10 + 768 + 1] + 1 + 1);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 13),
            (Text("GIF87a") + Bytes{2, 0, 2, 0, 0x77, 0, 0}));
  EXPECT_EQ(Bytes(bytes.begin() + 13, bytes.begin() + 23),
            (Bytes{0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0x87}));
  // Web colour 11 at its place in the table, black after the 216 web colours.
  EXPECT_EQ(Bytes(bytes.begin() + 23 + 33, bytes.begin() + 23 + 36), (Bytes{0, 51, 255}));
  EXPECT_EQ(Bytes(bytes.begin() + 23 + 216 * 3, bytes.begin() + 23 + 768), Bytes(120, 0));
  EXPECT_EQ(bytes[23 + 768], 8);
  EXPECT_EQ(bytes.back(), kGIFTrailerByte);
  ExpectRoundTrip(image);
}

TEST(GIFWriter, ExtensionsNeed89aAndComeBeforeTheDescriptor) {
  TGIFImage image;
  TGIFSubImage& frame = LocalFrame(image, 3, 2, 2);
  AddControl(frame, 0, 10, 1);
  const Bytes bytes = Saved(image);
  EXPECT_EQ(Text("GIF89a"), Bytes(bytes.begin(), bytes.begin() + 6));
  EXPECT_EQ(bytes[13], kGIFExtensionIntroducer);
  EXPECT_EQ(bytes[14], TGIFGraphicControlExtension::kLabel);
  EXPECT_EQ(bytes[13 + 8], kGIFImageSeparator);
  ExpectRoundTrip(image);
}

TEST(GIFWriter, EmptyFrameWritesItsExtensionsOnly) {
  TGIFImage image;
  LocalFrame(image, 2, 2, 2);
  auto empty = std::make_unique<TGIFSubImage>(image);
  TGIFSubImage& second = *empty;
  image.Images().Add(std::move(empty));
  auto comment = std::make_unique<TGIFCommentExtension>(second);
  comment->Text().push_back("hello");
  second.Extensions().Add(std::move(comment));
  const Bytes bytes = Saved(image);
  const Bytes tail = {
      kGIFExtensionIntroducer, TGIFCommentExtension::kLabel, 5, 'h', 'e', 'l', 'l', 'o', 0,
      kGIFTrailerByte};
  ASSERT_GT(bytes.size(), tail.size());
  EXPECT_EQ(Bytes(bytes.end() - long(tail.size()), bytes.end()), tail);
}

TEST(GIFWriter, TablesArePaddedAndSizeFieldsRebuilt) {
  TGIFImage image;
  TGIFSubImage& frame = LocalFrame(image, 4, 1, 3);
  frame.SetPackedFields(0x07);  // stale size field, no table flag
  frame.Data()[1] = 2;
  const Bytes bytes = Saved(image);
  EXPECT_EQ(bytes[10], 0x11);  // resolution and size field from the 4-entry local table
  EXPECT_EQ(bytes[13 + 9], 0x81);
  EXPECT_EQ(Bytes(bytes.begin() + 23, bytes.begin() + 35),
            (Bytes{0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0, 0}));
  ExpectRoundTrip(image);

  // Without any local table a frame keeps its interlace bit and uses the global table.
  TGIFImage global;
  SetGlobalColors(global, std::vector<TRGBColor>(16));
  TGIFSubImage& interlaced = AddFrame(global, 0, 0, 7, 11, 0);
  interlaced.SetInterlaced(true);
  for (int i = 0; i < interlaced.DataSize(); ++i) interlaced.Data()[i] = uint8_t(i % 16);
  const Bytes gbytes = Saved(global);
  EXPECT_EQ(gbytes[10], 0xB3);
  EXPECT_EQ(gbytes[13 + 48 + 9], TGIFSubImage::kInterlacedFlag);
  ExpectRoundTrip(global);
}

TEST(GIFWriter, ImageWithoutFramesWritesNothing) {
  TGIFImage image;
  TMemoryStream stream;
  EXPECT_EQ(MessageRaised<GIFException>([&] { image.SaveToStream(stream); }),
            kGIFUnsupportedVersion);
  EXPECT_EQ(stream.Size(), 0);
}

TEST(GIFWriter, SavingReportsProgressAndFilesLoadBack) {
  TGIFImage image;
  image.Assign(*PhotoBitmap(64, 48, 3));
  std::vector<std::pair<TProgressStage, int>> progress;
  image.OnProgress = [&](TGraphic&, TProgressStage stage, uint8_t percent, bool, const TRect&,
                         const std::string& message) {
    if (message == kGIFSaving) progress.push_back({stage, percent});
  };
  TempDir folder;
  const std::string name = folder.Path() + "/picture.gif";
  image.SaveToFile(name);
  EXPECT_EQ(progress,
            (std::vector<std::pair<TProgressStage, int>>{{psStarting, 0}, {psEnding, 100}}));
  TGIFImage loaded;
  loaded.LoadFromFile(name);
  ASSERT_EQ(loaded.Images().Count(), 1);
  EXPECT_EQ(Bytes(loaded.Images()[0].Data(), loaded.Images()[0].Data() + 64 * 48),
            Bytes(image.Images()[0].Data(), image.Images()[0].Data() + 64 * 48));
}

TEST(ColorTableOptimizer, UnusedEntriesDroppedAndPixelsRemappedByUse) {
  TGIFImage image;
  image.Assign(*PhotoBitmap(60, 40, 7));
  TGIFSubImage& frame = image.Images()[0];
  ASSERT_EQ(frame.ColorMap().Count(), 256);
  std::vector<uint32_t> before;
  for (int i = 0; i < frame.DataSize(); ++i)
    before.push_back(frame.ColorMap().Colors(frame.Data()[i]));
  // Make every web colour used, the first one most.
  for (int i = 0; i < 216; ++i) frame.Data()[i] = uint8_t(i);
  before.assign(before.size(), 0);
  for (int i = 0; i < frame.DataSize(); ++i)
    before[size_t(i)] = frame.ColorMap().Colors(frame.Data()[i]);

  EXPECT_TRUE(OptimizeColorMap(frame));
  EXPECT_EQ(frame.ColorMap().Count(), 216);
  EXPECT_TRUE(frame.ColorMap().Sorted());
  std::vector<int> uses(216);
  for (int i = 0; i < frame.DataSize(); ++i) {
    ASSERT_LT(frame.Data()[i], 216);
    ++uses[frame.Data()[i]];
    EXPECT_EQ(frame.ColorMap().Colors(frame.Data()[i]), before[size_t(i)]);
  }
  EXPECT_TRUE(std::is_sorted(uses.rbegin(), uses.rend()));
  const Bytes bytes = Saved(image);
  EXPECT_EQ(Text("GIF89a"), Bytes(bytes.begin(), bytes.begin() + 6));
  EXPECT_EQ(bytes[13 + 9], 0x80 | 0x20 | 7);
  ExpectRoundTrip(image);

  TGIFImage small;
  EXPECT_FALSE(OptimizeColorMap(LocalFrame(small, 2, 2, 1)));
}

TEST(FrameImport, BitmapsOfEveryKindComeBackAsWritten) {
  const std::vector<TPixelFormat> indexed = {pf1bit, pf4bit, pf8bit};
  for (TPixelFormat format : indexed) {
    TGIFImage image;
    const auto bitmap = MakeBitmap(
        37, 23,
        [](int x, int y) {
          return TRGBColor{uint8_t(x * 7), uint8_t(y * 11), uint8_t(x * y)};
        },
        format);
    image.Assign(*bitmap);
    TGIFSubImage& frame = image.Images()[0];
    const std::vector<uint32_t> expected = PixelValues(*bitmap);
    ASSERT_EQ(frame.DataSize(), int64_t(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(frame.Data()[i], expected[i]);
    EXPECT_EQ(frame.ColorMap().Count(), int(bitmap->Dib().Palette.size()));
    ExpectRoundTrip(image);
  }
  for (TColorReduction method : {rmNone, rmWindows20, rmWindows256, rmWindowsGray, rmMonochrome,
                                 rmGrayScale, rmNetscape, rmQuantize, rmQuantizeWindows}) {
    for (TGIFCompression compression : {gcLZW, gcRLE}) {
      SCOPED_TRACE(testing::Message() << "method " << method << ", compression " << compression);
      TGIFImage image;
      image.SetColorReduction(method);
      image.SetCompression(compression);
      // Few colours, so that no reduction still fits one table.
      const auto bitmap =
          method == rmNone
              ? MakeBitmap(50, 30,
                           [](int x, int y) {
                             return TRGBColor{uint8_t(x / 5 * 20), uint8_t(y / 3 * 20), 9};
                           })
              : PhotoBitmap(50, 30, unsigned(method));
      image.Assign(*bitmap);
      ASSERT_EQ(image.Images().Count(), 1);
      ExpectRoundTrip(image);
    }
  }
  for (TDitherMode mode :
       {dmFloydSteinberg, dmStucki, dmSierra, dmJaJuNI, dmSteveArche, dmBurkes}) {
    TGIFImage image;
    image.SetDitherMode(mode);
    image.Assign(*RandomBitmap(41, 17, unsigned(mode)));
    ExpectRoundTrip(image);
  }
}

TEST(FrameImport, NoReductionCollectsColoursInOrderAndRefusesTooMany) {
  TGIFImage image;
  image.SetColorReduction(rmNone);
  image.Assign(*MakeBitmap(3, 2, [](int x, int y) {
    return TRGBColor{uint8_t(x == 2 ? 200 : 10), uint8_t(y), 0};
  }));
  TGIFSubImage& frame = image.Images()[0];
  EXPECT_EQ(frame.ColorMap().Count(), 4);
  EXPECT_EQ(frame.ColorMap().Colors(1), ColorValue({200, 0, 0}));
  EXPECT_EQ(frame.ColorMap().Colors(2), ColorValue({10, 1, 0}));
  EXPECT_EQ(Bytes(frame.Data(), frame.Data() + 6), (Bytes{0, 0, 1, 2, 2, 3}));

  TGIFImage many;
  many.SetColorReduction(rmNone);
  EXPECT_EQ(MessageRaised<GIFException>([&] { many.Assign(*RandomBitmap(40, 40, 1)); }),
            kGIFColorTableOverflow);
  EXPECT_TRUE(many.Empty());
}

TEST(FrameImport, TransparentBitmapGetsABlackEntryAndAControlExtension) {
  const auto bitmap = MakeBitmap(4, 4, [](int x, int y) {
    return x == 0 && y == 3 ? TRGBColor{255, 0, 0} : TRGBColor{0, 0, uint8_t(x * 60)};
  });
  bitmap->SetTransparentColor({255, 0, 0});
  bitmap->SetTransparent(true);
  TGIFImage image;
  image.Assign(*bitmap);
  TGIFSubImage& frame = image.Images()[0];
  // Five used web colours (the transparent pixel's too), ordered by use, then the
  // appended black.
  ASSERT_EQ(frame.ColorMap().Count(), 6);
  EXPECT_EQ(frame.ColorMap().Colors(4), ColorValue({255, 0, 0}));
  ASSERT_NE(frame.GraphicControlExtension(), nullptr);
  EXPECT_TRUE(frame.Transparent());
  EXPECT_EQ(frame.GraphicControlExtension()->TransparentColorIndex(), 5);
  EXPECT_EQ(frame.Pixels(0, 3), 5);
  EXPECT_EQ(std::count(frame.Data(), frame.Data() + 16, 5), 1);
  ExpectRoundTrip(image);
}

TEST(FrameImport, OtherGraphicsGoThroughABitmapAndReplaceTheFrames) {
  TGIFImage source;
  TGIFSubImage& frame = LocalFrame(source, 2, 2, 2);
  frame.Data()[3] = 1;
  TGIFImage image;
  image.Assign(Filled(3, 3, clWhite));
  image.Assign(*MakeBitmap(5, 4, [](int, int) { return clBlack; }));
  image.Assign(source);
  ASSERT_EQ(image.Images().Count(), 1);
  EXPECT_EQ(image.Width(), 2);
  TGIFSubImage& copied = image.Images()[0];
  EXPECT_EQ(copied.ColorMap().Colors(copied.Data()[3]), ColorValue({1, 0, 0}));
  EXPECT_EQ(copied.ColorMap().Colors(copied.Data()[0]), ColorValue({0, 0, 0}));
}

// An indexed bitmap of the given format and palette, index(x, y) at each pixel.
std::unique_ptr<TBitmap> IndexedBitmap(int width, int height, TPixelFormat format, TPalette palette,
                                       const std::function<uint32_t(int, int)>& index) {
  TDib dib = MakeDib(width, height, format, std::move(palette));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) dib.SetIndexOfRow(dib.Row(y), x, index(x, y));
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetDib(std::move(dib));
  return bitmap;
}

TPalette RandomColors(int count, int low, int span, unsigned seed) {
  std::mt19937 random(seed);
  TPalette colors;
  for (int i = 0; i < count; ++i)
    colors.push_back({uint8_t(low + random() % span), uint8_t(low + random() % span),
                      uint8_t(low + random() % span)});
  return colors;
}

// An indexed bitmap reduced by its palette's colours gives the GIF that its 24-bit copy
// gives, under every method and dither mode: colours on the palette exactly or not, colours
// crowded into the fast lookup's cells (whose first colour met decides them, rows being
// walked in serpentine order), runs, indices past a short palette, transparency. The bitmap
// stays as it was.
TEST(FrameImport, ReducedIndexedBitmapsSaveAsTheir24BitCopies) {
  std::mt19937 random(3);
  const auto noise = [&](int colors) {
    return [&, colors](int, int) { return random() % colors; };
  };
  const auto runs = [](int x, int y) { return uint32_t(x / 9 + y) % 3; };
  std::vector<std::pair<std::string, std::unique_ptr<TBitmap>>> sources;
  sources.emplace_back("web colours",
                       IndexedBitmap(37, 5, pf8bit, {{0, 51, 255}, clWhite, clBlack}, noise(3)));
  sources.emplace_back("runs", IndexedBitmap(45, 4, pf8bit, {clWhite, clBlack, {51, 0, 0}}, runs));
  sources.emplace_back("any colours",
                       IndexedBitmap(37, 5, pf8bit, RandomColors(256, 0, 256, 1), noise(256)));
  sources.emplace_back("crowded colours",
                       IndexedBitmap(29, 6, pf8bit, RandomColors(256, 96, 32, 2), noise(256)));
  sources.emplace_back("short palette",
                       IndexedBitmap(13, 7, pf4bit, RandomColors(5, 0, 256, 3), noise(16)));
  sources.emplace_back("one bit", IndexedBitmap(19, 3, pf1bit, {clBlack, clWhite}, noise(2)));
  auto transparent = IndexedBitmap(21, 4, pf8bit, {clWhite, {255, 0, 0}, {10, 20, 30}}, noise(3));
  transparent->SetTransparent(true);
  sources.emplace_back("transparent", std::move(transparent));
  for (const auto& [what, bitmap] : sources) {
    const TDib before = bitmap->Dib();
    for (TColorReduction method : {rmNetscape, rmWindows20, rmWindows256, rmWindowsGray,
                                   rmMonochrome, rmGrayScale, rmQuantize, rmNone}) {
      for (int mode = dmNearest; mode <= dmBurkes; ++mode) {
        SCOPED_TRACE(testing::Message() << what << ", method " << method << ", dither " << mode);
        TGIFImage kept, copied;
        for (TGIFImage* image : {&kept, &copied}) {
          image->SetColorReduction(method);
          image->SetDitherMode(TDitherMode(mode));
        }
        AssignReducedBitmap(kept, *bitmap);
        TBitmap copy(*bitmap);
        copy.SetPixelFormat(pf24bit);
        copied.Assign(copy);
        EXPECT_EQ(Saved(kept), Saved(copied));
      }
    }
    EXPECT_EQ(bitmap->Dib().Bits, before.Bits) << what;
    EXPECT_EQ(bitmap->PixelFormat(), before.PixelFormat) << what;
  }
}

TEST(GIFClipboard, StoresBitmapAndFileAndLoadsEitherBack) {
  TClipboard clipboard;
  TGIFImage empty;
  SaveGIFToClipboard(empty, clipboard);
  EXPECT_FALSE(clipboard.HasFormat(TClipboard::CF_BITMAP));

  TGIFImage image;
  image.Assign(*PhotoBitmap(20, 10, 2));
  SaveGIFToClipboard(image, clipboard);
  const int format = GIFClipboardFormat(clipboard);
  ASSERT_NE(clipboard.Data(format), nullptr);
  EXPECT_EQ(*clipboard.Data(format), Saved(image));
  ASSERT_NE(clipboard.Bitmap(), nullptr);
  EXPECT_EQ(clipboard.Bitmap()->Width(), 20);

  TGIFImage fromFile;
  LoadGIFFromClipboard(fromFile, clipboard, format);
  EXPECT_EQ(Saved(fromFile), Saved(image));
  TGIFImage fromBitmap;
  LoadGIFFromClipboard(fromBitmap, clipboard, TClipboard::CF_BITMAP);
  EXPECT_EQ(fromBitmap.Width(), 20);
  EXPECT_EQ(MessageRaised<GIFException>([&] {
              LoadGIFFromClipboard(fromBitmap, clipboard, clipboard.RegisterFormat("x"));
            }),
            kGIFUnsupportedClipboardFormat);

  clipboard.SetMaxBytes(10);
  EXPECT_EQ(MessageRaised<GIFException>([&] { SaveGIFToClipboard(image, clipboard); }),
            kGIFStoreFailed);
}

TEST(FrameImport, ConvertingReportsProgressEvery32Rows) {
  TGIFImage image;
  std::vector<std::pair<TProgressStage, int>> progress;
  image.OnProgress = [&](TGraphic&, TProgressStage stage, uint8_t percent, bool, const TRect&,
                         const std::string& message) {
    if (message == kGIFConverting) progress.push_back({stage, percent});
  };
  image.Assign(*PhotoBitmap(5, 70, 1));
  EXPECT_EQ(
      progress,
      (std::vector<std::pair<TProgressStage, int>>{
          {psStarting, 0}, {psRunning, 0}, {psRunning, 45}, {psRunning, 91}, {psEnding, 100}}));
}

// What is written reads back, in giflib too: the screen's size field follows the largest
// table, so a smaller global table is padded with black to the size it declares (readers
// would take the next bytes for colours), and a frame whose descriptor was read from a
// stray byte is written with the image separator.
TEST(GIFWriter, FilesReadBackAsTheyWereHeld) {
  TGIFImage image;
  SetGlobalColors(image, {{255, 0, 0}, {0, 0, 255}});
  AddFrame(image, 0, 0, 3, 1, 1);
  LocalFrame(image, 3, 1, 16).Data()[2] = 15;
  ExpectRoundTrip(image);

  // A graphic control extension, then a descriptor whose separator is 0x2B.
  Bytes stray = Bytes{0x21, 0xF9, 4, 0, 0, 0, 0, 0} + Descriptor(0, 0, 2, 1) +
                ImageData(2, {{4, 3}, {1, 3}, {2, 3}, {5, 3}});
  stray[8] = 0x2B;
  const TLoaded loaded = LoadGIF(Screen(2, 1, 2) + stray + Bytes{0x3B});
  ASSERT_EQ(loaded.Error, "");
  EXPECT_EQ(Saved(*loaded.Image)[13 + 12 + 8], 0x2C);
  ExpectRoundTrip(*loaded.Image);
}
