#include "chart/preview_file.h"

#include <gtest/gtest.h>

#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/picture.h"
#include "program/program_formats.h"
#include "runtime/exceptions.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_bitmaps.h"

// The preview is drawn only once the whole file has decoded: a download that breaks off
// or is no image at all must leave the chart on show, whichever loader its name picks.
TEST(PreviewFile, FilesThatDoNotDecodeRaiseAndLeaveThePreviewAsItWas) {
  const TProgramFormats formats;
  TempDir dir;
  TPicture chart;
  chart.Bitmap() = Filled(40, 30, {20, 120, 220});
  for (const std::string extension : {".gif", ".png", ".jpg", ".jpeg"}) {
    const std::string good = dir.File("good" + extension);
    ASSERT_TRUE(SavePreviewFile(chart, good, [] { return 75; }));
    const std::string whole = ReadWholeFile(good);
    for (const std::string& bytes : {whole.substr(0, whole.size() / 3), std::string("<html>")}) {
      SCOPED_TRACE(extension + ", " + std::to_string(bytes.size()) + " bytes");
      const std::string bad = dir.File("bad" + extension);
      WriteWholeFile(bad, bytes);
      TBitmap preview = Filled(3, 2, {200, 10, 10});
      const TDib shown = preview.Dib();
      EXPECT_THROW(DisplayPreviewFile(bad, preview), Exception);
      EXPECT_EQ(preview.Width(), 3);
      EXPECT_EQ(preview.Height(), 2);
      EXPECT_EQ(preview.Dib().Bits, shown.Bits);
    }
  }
}
