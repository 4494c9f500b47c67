#include "app/qt_printer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPrintDialog>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/main_form.h"
#include "app/print_layout.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_dir.h"
#include "ui_main_form.h"

namespace {

constexpr TRGBColor kRed{255, 0, 0};
constexpr TRGBColor kBlue{0, 0, 255};
constexpr TRGBColor kGreen{0, 255, 0};
constexpr int kRasterDpi = 72;  // one device pixel of the raster per PDF point

// 800 x 600: red left half, blue right half, a green block in the top-left corner.
TBitmap TestImage() {
  TBitmap bitmap;
  bitmap.SetSize(800, 600);
  bitmap.Canvas().FillRect(Rect(0, 0, 400, 600), kRed);
  bitmap.Canvas().FillRect(Rect(400, 0, 800, 600), kBlue);
  bitmap.Canvas().FillRect(Rect(0, 0, 80, 60), kGreen);
  return bitmap;
}

struct Raster {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
  TRGBColor At(double x, double y) const {
    const size_t i = (static_cast<size_t>(y) * width + static_cast<size_t>(x)) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
};

std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  pclose(pipe);
  return output;
}

// The first page of the PDF rasterised by poppler's pdftoppm.
Raster Rasterise(const TempDir& dir, const std::string& pdf) {
  RunCommand("pdftoppm -r " + std::to_string(kRasterDpi) + " -f 1 -l 1 -singlefile '" + pdf +
             "' '" + dir.File("page") + "'");
  std::ifstream file(dir.File("page.ppm"), std::ios::binary);
  std::string magic;
  int maximum = 0;
  Raster raster;
  file >> magic >> raster.width >> raster.height >> maximum;
  file.get();
  raster.rgb.resize(static_cast<size_t>(raster.width) * raster.height * 3);
  file.read(reinterpret_cast<char*>(raster.rgb.data()),
            static_cast<std::streamsize>(raster.rgb.size()));
  return raster;
}

bool Near(TRGBColor a, TRGBColor b) {
  return std::abs(a.Red - b.Red) < 8 && std::abs(a.Green - b.Green) < 8 &&
         std::abs(a.Blue - b.Blue) < 8;
}

TRGBColor Inverse(TRGBColor c) {
  return {static_cast<uint8_t>(255 - c.Red), static_cast<uint8_t>(255 - c.Green),
          static_cast<uint8_t>(255 - c.Blue)};
}

class QtPrinterTest : public ::testing::Test {
 protected:
  QtPrinterTest() {
    printer_.Printer().setOutputFormat(QPrinter::PdfFormat);
    printer_.Printer().setOutputFileName(QString::fromStdString(pdf_));
  }

  // Prints, rasterises, and checks the page against the computed rectangle.
  void PrintAndCheck(const std::string& neg, bool inverted) {
    printer_.PrintBitmap(TestImage(), neg);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_NE(RunCommand("pdfinfo '" + pdf_ + "'").find("Pages:           1\n"), std::string::npos);
    const Raster page = Rasterise(dir_, pdf_);
    ASSERT_GT(page.width, page.height);  // landscape
    // Where the image should be, in points: the printable area's corner, and the size
    // the layout computes for the portrait printable area in device pixels.
    const QPrinter& printer = printer_.Printer();
    const QRectF area = printer.pageLayout().paintRect(QPageLayout::Point);
    const double toPoints = 72.0 / printer.resolution();
    const QRect portrait = QPageLayout(printer.pageLayout().pageSize(), QPageLayout::Portrait,
                                       printer.pageLayout().margins())
                               .paintRectPixels(printer.resolution());
    const TPrintLayout layout =
        ComputePrintLayout(800, 600, portrait.width(), portrait.height(), neg);
    const double left = area.left(), top = area.top();
    const double width = layout.Width * toPoints, height = layout.Height * toPoints;
    const auto colour = [&](TRGBColor c) { return inverted ? Inverse(c) : c; };
    const auto at = [&](double fx, double fy) {
      return page.At(left + fx * width, top + fy * height);
    };
    EXPECT_TRUE(Near(at(0.25, 0.5), colour(kRed)));
    EXPECT_TRUE(Near(at(0.75, 0.5), colour(kBlue)));
    EXPECT_TRUE(Near(at(0.05, 0.05), colour(kGreen)));
    EXPECT_TRUE(Near(at(0.98, 0.98), colour(kBlue)));  // the image reaches its corner
    // Just outside the rectangle the page is blank.
    EXPECT_TRUE(Near(page.At(left + width + 3, top + height / 2), clWhite));
    EXPECT_TRUE(Near(page.At(left + width / 2, top - 3), clWhite));
    EXPECT_TRUE(Near(page.At(left - 3, top + height / 2), clWhite));
  }

  TempDir dir_;
  std::string pdf_ = dir_.File("printout.pdf");
  TQtPrinter printer_;
};

TEST_F(QtPrinterTest, PrintsOneLandscapePageWithTheImageWhereTheLayoutSays) {
  PrintAndCheck("n", false);
}

TEST_F(QtPrinterTest, NegYPrintsInverted) {
  PrintAndCheck("Y", true);
}

TEST_F(QtPrinterTest, PaletteBitmapsPrintAndInvertTheirColours) {
  TBitmap bitmap = TestImage();
  bitmap.SetPixelFormat(pf8bit);
  printer_.PrintBitmap(bitmap, "y");
  const Raster page = Rasterise(dir_, pdf_);
  const QRectF area = printer_.Printer().pageLayout().paintRect(QPageLayout::Point);
  EXPECT_TRUE(Near(page.At(area.left() + 40, area.top() + 100), Inverse(kRed)));
}

TEST_F(QtPrinterTest, NoPrinterIsAClearErrorAndTheCursorComesBack) {
  printer_.Printer().setOutputFileName("");
  try {
    printer_.PrintBitmap(TestImage(), "n");
    FAIL();
  } catch (const EPrinter& error) {
    EXPECT_EQ(error.Message(), kNoPrinter);
  }
  printer_.Printer().setOutputFileName(QString::fromStdString(dir_.File("no/folder/x.pdf")));
  EXPECT_THROW(printer_.PrintBitmap(TestImage(), "n"), EPrinter);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(PrinterSetupTest, RunsThePrintDialogOnTheWindowsOnePrinter) {
  TempDir dir;
  FakeClock clock;
  FakeTimeZone zone;
  TMainForm form(TMainFormEnvironment{&clock, &zone, dir.File("isoview")});
  QPrinter* shownOn = nullptr;
  QTimer::singleShot(0, [&] {
    if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
      shownOn = dialog->printer();
      dialog->reject();
    }
  });
  form.Form().Printersetup1->trigger();
  EXPECT_EQ(shownOn, &form.Printer().Printer());
}

}  // namespace
