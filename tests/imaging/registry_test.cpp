#include <gtest/gtest.h>

#include "imaging/bitmap.h"
#include "imaging/file_formats.h"
#include "imaging/icon.h"
#include "imaging/metafile.h"
#include "imaging/picture.h"
#include "runtime/exceptions.h"
#include "tests/support/temp_dir.h"

namespace {

// Two test classes, one derived from the other, to register under made-up extensions.
class TTestGraphic : public TBitmap {
 public:
  static TGraphicClass StaticClass() {
    return TGraphicClass::Define<TTestGraphic, TBitmap>("TTestGraphic");
  }
  TGraphicClass ClassType() const override { return StaticClass(); }
};

class TDerivedTestGraphic : public TTestGraphic {
 public:
  static TGraphicClass StaticClass() {
    return TGraphicClass::Define<TDerivedTestGraphic, TTestGraphic>("TDerivedTestGraphic");
  }
  TGraphicClass ClassType() const override { return StaticClass(); }
};

// Each test leaves the process-wide registry with only the built-in rows.
class RegistryTest : public ::testing::Test {
 protected:
  void TearDown() override { TPicture::UnregisterGraphicClass(TTestGraphic::StaticClass()); }
};

TEST(GraphicClassTest, KnowsNamesAncestryAndCreates) {
  EXPECT_STREQ(TBitmap::StaticClass().ClassName(), "TBitmap");
  EXPECT_TRUE(TDerivedTestGraphic::StaticClass().InheritsFrom(TBitmap::StaticClass()));
  EXPECT_TRUE(TBitmap::StaticClass().InheritsFrom(TGraphic::StaticClass()));
  EXPECT_FALSE(TBitmap::StaticClass().InheritsFrom(TTestGraphic::StaticClass()));
  EXPECT_FALSE(TIcon::StaticClass().InheritsFrom(TBitmap::StaticClass()));
  EXPECT_EQ(TDerivedTestGraphic::StaticClass().Create()->ClassType(),
            TDerivedTestGraphic::StaticClass());
  EXPECT_THROW(TGraphic::StaticClass().Create(), EInvalidGraphicOperation);
  EXPECT_THROW(TGraphicClass().Create(), EInvalidGraphicOperation);
}

TEST_F(RegistryTest, BuiltInRowsInOrder) {
  ASSERT_GE(FileFormats().Rows().size(), 4u);
  const auto& rows = FileFormats().Rows();
  EXPECT_EQ(rows[0].Extension, "wmf");
  EXPECT_EQ(rows[0].Description, "Metafiles");
  EXPECT_EQ(rows[1].Extension, "emf");
  EXPECT_EQ(rows[1].Description, "Enhanced Metafiles");
  EXPECT_EQ(rows[1].GraphicClass, TMetafile::StaticClass());
  EXPECT_EQ(rows[2].GraphicClass, TIcon::StaticClass());
  EXPECT_EQ(rows[3].Description, "Bitmaps");
  EXPECT_EQ(FileFormats().FindExt("BMP"), TBitmap::StaticClass());
}

TEST_F(RegistryTest, ExtensionsCompareLowerCased) {
  TPicture::RegisterFileFormat("TGR", "Test", TTestGraphic::StaticClass());
  EXPECT_EQ(FileFormats().FindExt("tgr"), TTestGraphic::StaticClass());
  EXPECT_EQ(FileFormats().FindExt("TgR"), TTestGraphic::StaticClass());
  EXPECT_FALSE(FileFormats().FindExt("tg"));
}

TEST_F(RegistryTest, LaterRegistrationShadowsEarlier) {
  TPicture::RegisterFileFormat("png", "First", TTestGraphic::StaticClass());
  EXPECT_EQ(FileFormats().FindExt("png"), TTestGraphic::StaticClass());
  TPicture::RegisterFileFormat("png", "Second", TDerivedTestGraphic::StaticClass());
  EXPECT_EQ(FileFormats().FindExt("png"), TDerivedTestGraphic::StaticClass());
  EXPECT_EQ(FileFormats().FindClassName("TDerivedTestGraphic"), TDerivedTestGraphic::StaticClass());
}

TEST_F(RegistryTest, UnregisterRemovesDerivedClassesToo) {
  const size_t builtIn = FileFormats().Rows().size();
  TPicture::RegisterFileFormat("tga", "Base", TTestGraphic::StaticClass());
  TPicture::RegisterFileFormat("tgb", "Derived", TDerivedTestGraphic::StaticClass());
  TPicture::UnregisterGraphicClass(TTestGraphic::StaticClass());
  EXPECT_EQ(FileFormats().Rows().size(), builtIn);
  EXPECT_FALSE(FileFormats().FindExt("tgb"));
  EXPECT_EQ(FileFormats().FindExt("bmp"), TBitmap::StaticClass());
}

TEST_F(RegistryTest, FilterTextForAllGraphicsAndForOneClass) {
  EXPECT_EQ(GraphicFilter(TGraphic::StaticClass()),
            "All (*.bmp;*.ico;*.emf;*.wmf)|*.bmp;*.ico;*.emf;*.wmf|"
            "Bitmaps (*.bmp)|*.bmp|Icons (*.ico)|*.ico|"
            "Enhanced Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf");
  // One row: no "All" entry. Rows with an empty extension are left out.
  TPicture::RegisterFileFormat("", "Nameless", TTestGraphic::StaticClass());
  EXPECT_EQ(GraphicFilter(TIcon::StaticClass()), "Icons (*.ico)|*.ico");
  EXPECT_EQ(GraphicFilter(TTestGraphic::StaticClass()), "");
}

TEST_F(RegistryTest, PictureLoadFindsTheClassInAnyCase) {
  TPicture::RegisterFileFormat("tgr", "Test", TTestGraphic::StaticClass());
  TempDir dir;
  TBitmap bitmap;
  bitmap.SetSize(3, 2);
  bitmap.SaveToFile(dir.File("x.TGR"));
  bitmap.SaveToFile(dir.File("y.tgr"));
  TPicture upper, lower;
  upper.LoadFromFile(dir.File("x.TGR"));
  lower.LoadFromFile(dir.File("y.tgr"));
  EXPECT_EQ(upper.Graphic()->ClassType(), TTestGraphic::StaticClass());
  EXPECT_EQ(lower.Graphic()->ClassType(), TTestGraphic::StaticClass());
  EXPECT_EQ(upper.Width(), 3);
}

TEST_F(RegistryTest, UnknownExtensionFailsAndKeepsThePicture) {
  TempDir dir;
  TPicture picture;
  picture.Bitmap().SetSize(5, 5);
  try {
    picture.LoadFromFile(dir.File("noextension"));
    FAIL();
  } catch (const EInvalidGraphic& error) {
    EXPECT_EQ(error.Message(), "Unknown picture file extension (.)");
  }
  try {
    picture.LoadFromFile(dir.File("chart.xyz"));
    FAIL();
  } catch (const EInvalidGraphic& error) {
    EXPECT_EQ(error.Message(), "Unknown picture file extension (.xyz)");
  }
  EXPECT_EQ(picture.Width(), 5);
}

TEST_F(RegistryTest, FailingLoadKeepsThePreviousGraphic) {
  TempDir dir;
  WriteWholeFile(dir.File("bad.bmp"), "not a bitmap at all");
  TPicture picture;
  picture.Bitmap().SetSize(7, 1);
  TGraphic* before = picture.Graphic();
  EXPECT_THROW(picture.LoadFromFile(dir.File("bad.bmp")), EInvalidGraphic);
  EXPECT_THROW(picture.LoadFromFile(dir.File("missing.bmp")), EFOpenError);
  EXPECT_EQ(picture.Graphic(), before);
  EXPECT_EQ(picture.Width(), 7);
}

TEST_F(RegistryTest, MetafilesAreRefusedClearly) {
  TempDir dir;
  WriteWholeFile(dir.File("drawing.wmf"), std::string("\xD7\xCD\xC6\x9A", 4));
  TPicture picture;
  try {
    picture.LoadFromFile(dir.File("drawing.wmf"));
    FAIL();
  } catch (const EInvalidGraphic& error) {
    EXPECT_EQ(error.Message(), kMetafilesNotSupported);
  }
  EXPECT_EQ(picture.Graphic(), nullptr);
}

TEST(PictureTest, BitmapReplacesOtherGraphicsAndKeepsBitmaps) {
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TPicture&) { ++changes; };
  TBitmap& first = picture.Bitmap();
  EXPECT_EQ(&picture.Bitmap(), &first);
  first.SetSize(2, 2);  // the held graphic's changes reach the picture
  EXPECT_EQ(changes, 2);
  picture.SetGraphic(std::make_unique<TIcon>());
  TBitmap& second = picture.Bitmap();
  EXPECT_TRUE(second.Empty());
  EXPECT_EQ(picture.Graphic()->ClassType(), TBitmap::StaticClass());
  picture.SetGraphic(std::make_unique<TDerivedTestGraphic>());
  EXPECT_EQ(&picture.Bitmap(), picture.Graphic());  // derived from TBitmap: kept
}

TEST(PictureTest, SavesInTheGraphicsOwnFormatWhateverTheName) {
  TempDir dir;
  TPicture picture;
  picture.Bitmap().SetSize(1, 1);
  picture.SaveToFile(dir.File("chart.gif"));
  EXPECT_EQ(ReadWholeFile(dir.File("chart.gif")).substr(0, 2), "BM");
  TPicture empty;
  empty.SaveToFile(dir.File("nothing.bmp"));
  EXPECT_FALSE(FileExists(dir.File("nothing.bmp")));
}

TEST(PictureTest, ProgressOfTheHeldGraphicReachesThePicture) {
  class TProgressing : public TBitmap {
   public:
    void Report() { Progress(psRunning, 40, false, {}, "Working..."); }
  };
  TPicture picture;
  auto graphic = std::make_unique<TProgressing>();
  TProgressing& held = *graphic;
  picture.SetGraphic(std::move(graphic));
  std::string seen;
  picture.OnProgress = [&](TGraphic& sender, TProgressStage, uint8_t percent, bool, const TRect&,
                           const std::string& message) {
    EXPECT_EQ(&sender, &held);
    seen = message + " " + std::to_string(percent);
  };
  held.Report();
  EXPECT_EQ(seen, "Working... 40");
}

}  // namespace
