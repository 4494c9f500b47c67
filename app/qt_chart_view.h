#pragma once
// The main window's view of the last chart: at 100 %, fitted to the view, or zoomed in
// and out in steps, with the buttons that choose it. A new chart keeps the zoom chosen,
// so that the frames of an animation and the next chart show alike.

#include <QImage>
#include <QWidget>

class QLabel;
class QPushButton;
class QScrollArea;
class TQtScaledPicture;

class TQtChartView : public QWidget {
  Q_OBJECT

 public:
  static constexpr double kZoomStep = 1.25;
  static constexpr double kMinimumScale = 1.0 / 32;
  static constexpr double kMaximumScale = 8.0;

  explicit TQtChartView(QWidget* parent = nullptr);

  void ShowPicture(const QImage& picture);
  const QImage& Picture() const;

  void Fit();
  void ActualSize();
  void ZoomIn();
  void ZoomOut();
  bool Fitted() const { return fitted_; }
  // The picture's scale as shown, fitted or chosen.
  double Scale() const;
  // The size the picture takes in the view.
  QSize ShownSize() const;

  QPushButton& FitButton() const { return *fitButton_; }
  QPushButton& ActualSizeButton() const { return *actualSizeButton_; }
  QPushButton& ZoomInButton() const { return *zoomInButton_; }
  QPushButton& ZoomOutButton() const { return *zoomOutButton_; }
  QLabel& ZoomLabel() const { return *zoomLabel_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPushButton* AddButton(const char* name, const char* text, void (TQtChartView::*command)());
  void SetScale(double scale);
  double FittedScale() const;
  void ShowScale();

  QPushButton* fitButton_ = nullptr;
  QPushButton* actualSizeButton_ = nullptr;
  QPushButton* zoomInButton_ = nullptr;
  QPushButton* zoomOutButton_ = nullptr;
  QLabel* zoomLabel_ = nullptr;
  QScrollArea* area_ = nullptr;
  TQtScaledPicture* picture_ = nullptr;
  bool fitted_ = false;
};
