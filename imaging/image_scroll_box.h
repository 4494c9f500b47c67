#pragma once
// The image viewer, without its window: it loads a file by name into a TDibGraphic (the
// image library's formats by their extension, everything else through the picture format
// registry), keeps that graphic, and holds the display graphic - the loaded image at the
// zoom, in true colour - with the placement and scroll bars a window of the client size
// shows it with. A window (gui/qt_image_scroll_box.h) paints the display graphic and
// reports its size; the fetch job and the tools use the display graphic directly.

#include <functional>
#include <memory>
#include <string>

#include "imaging/bitmap.h"
#include "imaging/dib_graphic.h"

class TStream;

enum TZoomMode {
  zmOriginalSize,  // 100 percent
  zmFullPage,      // the whole image fills the client area, enlarged or shrunk
  zmFitWidth,      // the image's width fills the client width
  zmFitHeight,     // the image's height fills the client height
  zmPercent,       // ZoomPercent()
  zmFitToPage,     // like zmFullPage, but never enlarged beyond 100 percent
};

// The size of the viewer control on the main window.
inline constexpr int kDefaultClientWidth = 76;
inline constexpr int kDefaultClientHeight = 97;

class TImageScrollBox {
 public:
  TImageScrollBox();
  ~TImageScrollBox();
  TImageScrollBox(const TImageScrollBox&) = delete;
  TImageScrollBox& operator=(const TImageScrollBox&) = delete;

  // Loads the file and shows it. Page 0 reads every page and shows the first; page n
  // reads page n only. A file read ahead under this name (any case) is taken as it is,
  // once. After any error the viewer holds an empty graphic, shows nothing, and the error
  // passes on.
  void LoadFromFile(const std::string& FileName, int Page);
  // The same from a stream, with the name giving the format. Formats outside the image
  // library load through the picture registry by name; when no file of that name exists,
  // the stream is copied to a temporary file for it first. Progress goes to OnProgress
  // at 0, 25, 90 and 100 percent on that way.
  void LoadFromStream(TStream& Stream, const std::string& FileName, int Page);
  // Reads a file now so that a later LoadFromFile of it is immediate. A file that fails
  // to load is not ready; its error comes when it is loaded.
  void ReadAhead(const std::string& FileName, int Page);

  const std::string& FileName() const { return fileName_; }
  const std::string& ReadAheadFileName() const { return readAheadFileName_; }
  bool ReadAheadReady() const { return readAheadGraphic_ != nullptr; }

  // The loaded graphic; an empty TDibGraphic before the first load and after an error.
  TDibGraphic& Graphic() const { return *graphic_; }
  // The graphic shown: the loaded one at the zoom, true colour, empty when nothing is
  // loaded. At 100 percent it is the loaded image pixel for pixel.
  TBitmap& DisplayGraphic() { return display_; }

  TZoomMode ZoomMode() const { return zoomMode_; }
  void SetZoomMode(TZoomMode Value);
  // The zoom of zmPercent.
  double ZoomPercent() const { return zoomPercent_; }
  void SetZoomPercent(double Value);
  // The zoom in use, in percent, by the zoom mode.
  double Zoom() const;
  bool Centred() const { return centred_; }
  void SetCentred(bool Value);
  // Black-and-white images are shrunk by area averaging (greys) instead of picking pixels.
  bool AntiAliased() const { return antiAliased_; }
  void SetAntiAliased(bool Value);

  // The area of the window the image is shown in.
  int ClientWidth() const { return clientWidth_; }
  int ClientHeight() const { return clientHeight_; }
  void SetClientSize(int Width, int Height);
  bool HorzScrollBarVisible() const { return horzScrollBar_; }
  bool VertScrollBarVisible() const { return vertScrollBar_; }
  // Where the display graphic lies in the client area (at the top-left, or centred when
  // it is smaller and centring is on); empty while nothing is shown.
  TRect ImageBounds() const { return imageBounds_; }

  // The window reports the start and end of scrolling with these.
  void BeginScroll();
  void EndScroll();

  std::function<void(TImageScrollBox& Sender, TDibGraphic& Graphic)> OnNewGraphic;
  std::function<void(TImageScrollBox& Sender)> OnZoomChange;
  // The display graphic or its placement changed.
  std::function<void(TImageScrollBox& Sender)> OnRedraw;
  std::function<void(TImageScrollBox& Sender)> OnBeginScroll;
  std::function<void(TImageScrollBox& Sender)> OnEndScroll;
  std::function<void(TImageScrollBox& Sender, int PercentDone, const std::string& Msg)> OnProgress;

 private:
  void Load(const std::function<std::unique_ptr<TDibGraphic>()>& read);
  std::unique_ptr<TDibGraphic> ReadGraphic(TStream& Stream, const std::string& FileName, int Page);
  std::unique_ptr<TDibGraphic> ReadThroughPicture(TStream& Stream, const std::string& FileName);
  void ConnectProgress(TGraphic& Graphic);
  void Progress(int PercentDone);
  void RebuildDisplay();
  TDib DisplayDib(int Width, int Height) const;
  void Redraw();

  std::unique_ptr<TDibGraphic> graphic_;
  TBitmap display_;
  std::string fileName_;
  std::string readAheadFileName_;
  std::unique_ptr<TDibGraphic> readAheadGraphic_;
  TZoomMode zoomMode_ = zmOriginalSize;
  double zoomPercent_ = 100;
  double lastZoom_ = 100;
  bool centred_ = false;
  bool antiAliased_ = false;
  int clientWidth_ = kDefaultClientWidth;
  int clientHeight_ = kDefaultClientHeight;
  bool horzScrollBar_ = false;
  bool vertScrollBar_ = false;
  TRect imageBounds_;
};
