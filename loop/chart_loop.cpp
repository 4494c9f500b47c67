#include "loop/chart_loop.h"

#include <memory>

#include "chart/chart_picture.h"
#include "gif/gif_application_extension.h"
#include "gif/gif_frame_import.h"
#include "gif/gif_graphic_control_extension.h"
#include "gif/gif_image.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

// Loops of the NETSCAPE2.0 extension: 0 plays for ever.
constexpr uint16_t kForever = 0;

std::vector<TBitmap> ReadCharts(const std::vector<std::string>& paths,
                                std::vector<std::string>& leftOut) {
  std::vector<TBitmap> charts;
  for (const std::string& path : paths) {
    try {
      const std::shared_ptr<const TBitmap> chart = DecodeChart(path);
      if (chart) {
        charts.push_back(*chart);
      } else {
        leftOut.push_back(path + ": no picture");
      }
    } catch (const std::exception& error) {
      leftOut.push_back(path + ": " + error.what());
    }
  }
  return charts;
}

TBitmap ScaledTo(const TBitmap& chart, int width, int height) {
  if (chart.Width() == width && chart.Height() == height) return chart;
  TBitmap scaled;
  scaled.SetSize(width, height);
  scaled.Canvas().StretchBitmap({0, 0, width, height}, chart);
  return scaled;
}

void AddFrame(TGIFImage& image, const TBitmap& chart, int delayCentiseconds) {
  TGIFSubImage& frame = image.Images()[image.Images().Add(std::make_unique<TGIFSubImage>(image))];
  ImportReducedBitmap(frame, chart);
  if (image.Images().Count() == 1) {
    auto loop = std::make_unique<TGIFAppExtNSLoop>(frame);
    loop->SetLoops(kForever);
    frame.Extensions().Add(std::move(loop));
  }
  if (!frame.GraphicControlExtension())
    frame.Extensions().Add(std::make_unique<TGIFGraphicControlExtension>(frame));
  frame.GraphicControlExtension()->SetDelay(static_cast<uint16_t>(delayCentiseconds));
}

}  // namespace

TChartLoop MakeChartLoop(const std::vector<std::string>& paths, int delayCentiseconds) {
  TChartLoop loop;
  const std::vector<TBitmap> charts = ReadCharts(paths, loop.leftOut);
  if (charts.empty()) return loop;
  const int width = charts.back().Width();
  const int height = charts.back().Height();
  TGIFImage image;
  for (const TBitmap& chart : charts)
    AddFrame(image, ScaledTo(chart, width, height), delayCentiseconds);
  TMemoryStream bytes;
  image.SaveToStream(bytes);
  loop.gif = bytes.Bytes();
  loop.frames = static_cast<int>(charts.size());
  return loop;
}
