#include "app/qt_printer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "app/main_form.h"
#include "app/print_layout.h"
#include "app/printout_name.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "runtime/text_file.h"
#include "tests/support/fake_clock.h"
#include "tests/support/pdf_page.h"
#include "tests/support/raises.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"
#include "ui_main_form.h"

namespace {

constexpr TRGBColor kRed{255, 0, 0};
constexpr TRGBColor kBlue{0, 0, 255};
constexpr TRGBColor kGreen{0, 255, 0};
constexpr int kImageWidth = 800;
constexpr int kImageHeight = 600;
constexpr int kRasterDpi = 150;
constexpr double kPointsPerInch = 72;
// Anti-aliasing may blur an edge of the image by one raster pixel.
constexpr double kEdgeTolerance = 1.5;

// 800 x 600: red left half, blue right half, a green block in the top-left corner.
TBitmap TestImage() {
  TBitmap bitmap;
  bitmap.SetSize(kImageWidth, kImageHeight);
  bitmap.Canvas().FillRect(Rect(0, 0, kImageWidth / 2, kImageHeight), kRed);
  bitmap.Canvas().FillRect(Rect(kImageWidth / 2, 0, kImageWidth, kImageHeight), kBlue);
  bitmap.Canvas().FillRect(Rect(0, 0, kImageWidth / 10, kImageHeight / 10), kGreen);
  return bitmap;
}

TRGBColor Inverse(TRGBColor c) {
  return {static_cast<uint8_t>(255 - c.Red), static_cast<uint8_t>(255 - c.Green),
          static_cast<uint8_t>(255 - c.Blue)};
}

std::string PrintError(TQtPrinter& printer) {
  return MessageRaised<EPrinter>([&] { printer.PrintBitmap(TestImage(), "n"); });
}

class QtPrinterTest : public ::testing::Test {
 protected:
  QtPrinterTest() {
    clock_.Set({2026, 12, 8, 15, 12, 3});
    printer_.Printer().setOutputFormat(QPrinter::PdfFormat);
    printer_.Printer().setOutputFileName(QString::fromStdString(pdf_));
  }

  // Where the layout puts the image on the rasterised page: at the corner of the
  // printable area, in the size computed from the portrait printable area.
  PageBox ExpectedBox(const std::string& neg) {
    const QPrinter& printer = printer_.Printer();
    const QPageLayout portrait(printer.pageLayout().pageSize(), QPageLayout::Portrait,
                               printer.pageLayout().margins());
    const QRect page = portrait.paintRectPixels(printer.resolution());
    const TPrintLayout layout =
        ComputePrintLayout(kImageWidth, kImageHeight, page.width(), page.height(), neg);
    const double scale = static_cast<double>(kRasterDpi) / printer.resolution();
    const QRectF area = printer.pageLayout().paintRect(QPageLayout::Point);
    const double left = area.left() * kRasterDpi / kPointsPerInch;
    const double top = area.top() * kRasterDpi / kPointsPerInch;
    return {left, top, left + layout.Width * scale, top + layout.Height * scale};
  }

  // Prints the test image and checks the one landscape page: the inked area is the
  // computed rectangle, and its colours are the image's, inverted when asked.
  void PrintAndCheck(const std::string& neg, bool inverted) {
    const std::string printout = printer_.PrintBitmap(TestImage(), neg);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_NE(RunCommand("pdfinfo '" + printout + "'").output.find("Pages:           1\n"),
              std::string::npos);
    const TRgbImage page = RasterisePdf(dir_, printout, kRasterDpi);
    ASSERT_GT(page.Height, 0) << "pdftoppm gave no page";
    EXPECT_GT(page.Width, page.Height);  // landscape
    EXPECT_EQ(printer_.Printer().pageLayout().orientation(), QPageLayout::Landscape);

    const PageBox expected = ExpectedBox(neg);
    const PageBox inked = InkedBox(page);
    EXPECT_NEAR(inked.left, expected.left, kEdgeTolerance);
    EXPECT_NEAR(inked.top, expected.top, kEdgeTolerance);
    EXPECT_NEAR(inked.right, expected.right, kEdgeTolerance);
    EXPECT_NEAR(inked.bottom, expected.bottom, kEdgeTolerance);

    const auto colour = [&](TRGBColor c) { return inverted ? Inverse(c) : c; };
    const auto at = [&](double fx, double fy) {
      return page.At(expected.left + fx * (expected.right - expected.left),
                     expected.top + fy * (expected.bottom - expected.top));
    };
    EXPECT_TRUE(NearColor(at(0.25, 0.5), colour(kRed)));
    EXPECT_TRUE(NearColor(at(0.75, 0.5), colour(kBlue)));
    EXPECT_TRUE(NearColor(at(0.05, 0.05), colour(kGreen)));  // the image's top-left stays there
    EXPECT_TRUE(NearColor(at(0.95, 0.05), colour(kBlue)));
    EXPECT_TRUE(NearColor(at(0.05, 0.95), colour(kRed)));
  }

  TempDir dir_;
  std::string pdf_ = dir_.File("printout.pdf");
  FakeClock clock_;
  FakeTimeZone zone_{{tzsStandard, 60, 0, 0}};  // local time one hour behind UTC
  TQtPrinter printer_{clock_, zone_};
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
  const TRgbImage page = RasterisePdf(dir_, printer_.PrintBitmap(bitmap, "y"), kRasterDpi);
  ASSERT_GT(page.Height, 0) << "pdftoppm gave no page";
  const PageBox box = ExpectedBox("y");
  EXPECT_TRUE(NearColor(page.At((3 * box.left + box.right) / 4, (box.top + box.bottom) / 2),
                        Inverse(kRed)));
  EXPECT_TRUE(NearColor(page.At((box.left + 3 * box.right) / 4, (box.top + box.bottom) / 2),
                        Inverse(kBlue)));
}

// Each printout to a PDF file is a new file beside the chosen one, named with the UTC time
// to the second: a second printout in the same second is numbered, none replaces another.
TEST_F(QtPrinterTest, EachPrintoutToPdfIsANewFileNamedWithTheUtcTime) {
  std::vector<std::string> printouts;
  for (int second : {0, 0, 0, 1}) {
    clock_.AdvanceMilliseconds(second * 1000);
    printouts.push_back(printer_.PrintBitmap(TestImage(), "n"));
  }
  EXPECT_EQ(printouts, (std::vector<std::string>{dir_.File("printout-20261208-161203.pdf"),
                                                 dir_.File("printout-20261208-161203-2.pdf"),
                                                 dir_.File("printout-20261208-161203-3.pdf"),
                                                 dir_.File("printout-20261208-161204.pdf")}));
  for (const std::string& printout : printouts)
    EXPECT_EQ(ReadWholeFile(printout).substr(0, 4), "%PDF") << printout;
  EXPECT_FALSE(FileExists(pdf_));
  EXPECT_EQ(printer_.Printer().outputFileName().toStdString(), pdf_);
  EXPECT_EQ(printer_.Printer().outputFormat(), QPrinter::PdfFormat);
}

TEST(PrintoutFileName, PutsTheTimeBeforeTheExtensionAndNumbersTakenNames) {
  const TDateTime at = EncodeDateTime({2026, 12, 8, 15, 12, 3});
  const std::vector<std::string> taken{"/out/print-20261208-151203.pdf",
                                       "/out/print-20261208-151203-2.pdf",
                                       "/out/x-20261208-151203"};
  const auto exists = [&](const std::string& name) {
    return std::find(taken.begin(), taken.end(), name) != taken.end();
  };
  const std::vector<std::pair<std::string, std::string>> cases{
      {"/out/print.pdf", "/out/print-20261208-151203-3.pdf"},
      {"/out/other.pdf", "/out/other-20261208-151203.pdf"},
      {"/out/x", "/out/x-20261208-151203-2"},
      {"/out/charts.d/print", "/out/charts.d/print-20261208-151203"},
      {"/out/.pdf", "/out/.pdf-20261208-151203"},
      {"/out/a.b.PDF", "/out/a.b-20261208-151203.PDF"},
      {"print.pdf", "print-20261208-151203.pdf"},
  };
  for (const auto& [chosen, expected] : cases)
    EXPECT_EQ(PrintoutFileName(chosen, at, exists), expected) << chosen;
}

TEST_F(QtPrinterTest, NoPrinterIsAClearErrorAndTheCursorComesBack) {
  printer_.Printer().setOutputFileName("");
  EXPECT_EQ(PrintError(printer_), kNoPrinter);
  printer_.Printer().setOutputFileName(QString::fromStdString(dir_.File("no/folder/x.pdf")));
  EXPECT_EQ(PrintError(printer_), kPrintFailed);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtPrinterSystemTest, WithNoPrinterInstalledPrintingRaisesTheClearError) {
  if (!QPrinterInfo::availablePrinters().isEmpty()) GTEST_SKIP() << "this system has a printer";
  TQtPrinter printer;
  EXPECT_EQ(PrintError(printer), kNoPrinter);
}

TEST(PrinterSetupTest, RunsThePrintDialogOnTheWindowsOnePrinter) {
  TempDir dir;
  FakeClock clock;
  FakeTimeZone zone;
  TMainForm form(TMainFormEnvironment{&clock, &zone, dir.Path()});
  QPrinter* shownOn = nullptr;
  QString title, confirm;
  QTimer::singleShot(0, [&] {
    if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
      shownOn = dialog->printer();
      title = dialog->windowTitle();
      confirm = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->text();
      dialog->reject();
    }
  });
  form.Form().Printersetup1->trigger();
  EXPECT_EQ(shownOn, &form.Printer().Printer());
  // Setting up prints nothing, so its button does not say "Print".
  EXPECT_EQ(title.toStdString(), "Printer setup");
  EXPECT_EQ(confirm.toStdString(), "OK");
}

}  // namespace
