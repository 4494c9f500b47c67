#pragma once
// A container of at most one graphic of any class, which it owns, loading files through
// the picture format registry by their extension.

#include <memory>
#include <string>

#include "imaging/graphic.h"

class TBitmap;

class TPicture {
 public:
  TPicture() = default;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  // The held graphic, or null.
  TGraphic* Graphic() const { return graphic_.get(); }
  // Takes a graphic over (null empties the picture) and signals a change.
  void SetGraphic(std::unique_ptr<TGraphic> Value);
  // The held bitmap; a picture holding anything else (or nothing) first gets a new,
  // empty TBitmap in its place.
  TBitmap& Bitmap();

  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }

  // Creates a graphic of the class registered for the name's extension and loads the file
  // into it. An unknown extension raises EInvalidGraphic "Unknown picture file extension
  // (.%s)"; on any failure the picture keeps its previous graphic.
  void LoadFromFile(const std::string& FileName);
  // The held graphic saves itself in its own format, whatever the extension says. An empty
  // picture writes nothing and creates no file.
  void SaveToFile(const std::string& FileName);

  // Registering and unregistering formats of the process-wide registry.
  static void RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                 TGraphicClass GraphicClass);
  static void UnregisterGraphicClass(TGraphicClass GraphicClass);

  // Runs when the held graphic changes or is replaced.
  std::function<void(TPicture& Sender)> OnChange;
  // Receives the progress of the held graphic (and of one being loaded).
  TProgressEvent OnProgress;

 private:
  void Connect(TGraphic& Graphic);
  void ConnectProgress(TGraphic& Graphic);
  void Changed();

  std::unique_ptr<TGraphic> graphic_;
};
