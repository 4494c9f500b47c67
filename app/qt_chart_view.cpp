#include "app/qt_chart_view.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/qt_scaled_picture.h"

TQtChartView::TQtChartView(QWidget* parent)
    : QWidget(parent), area_(new QScrollArea(this)), picture_(new TQtScaledPicture) {
  auto* commands = new QHBoxLayout;
  commands->setContentsMargins(4, 2, 4, 2);
  fitButton_ = AddButton("FitButton", "&Fit", &TQtChartView::Fit);
  actualSizeButton_ = AddButton("ActualSizeButton", "&100 %", &TQtChartView::ActualSize);
  zoomInButton_ = AddButton("ZoomInButton", "Zoom &in", &TQtChartView::ZoomIn);
  zoomOutButton_ = AddButton("ZoomOutButton", "Zoom &out", &TQtChartView::ZoomOut);
  zoomLabel_ = new QLabel(this);
  zoomLabel_->setObjectName("ZoomLabel");
  for (QWidget* control : std::initializer_list<QWidget*>{
           fitButton_, actualSizeButton_, zoomInButton_, zoomOutButton_, zoomLabel_})
    commands->addWidget(control);
  commands->addStretch();
  area_->setObjectName("ChartArea");
  area_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  area_->setWidget(picture_);
  area_->viewport()->installEventFilter(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addLayout(commands);
  layout->addWidget(area_, 1);
  ShowScale();
}

QPushButton* TQtChartView::AddButton(const char* name, const char* text,
                                     void (TQtChartView::*command)()) {
  auto* button = new QPushButton(text, this);
  button->setObjectName(name);
  button->setFocusPolicy(Qt::NoFocus);
  button->setCheckable(command == &TQtChartView::Fit);
  connect(button, &QPushButton::clicked, this, command);
  return button;
}

void TQtChartView::ShowPicture(const QImage& picture) {
  picture_->SetPicture(picture);
  if (fitted_) picture_->SetScale(FittedScale());
  ShowScale();
}

const QImage& TQtChartView::Picture() const {
  return picture_->Picture();
}

// Fitted, the whole picture is in view; scroll bars would only take room from it.
void TQtChartView::Fit() {
  fitted_ = true;
  area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  picture_->SetScale(FittedScale());
  ShowScale();
}

void TQtChartView::ActualSize() {
  SetScale(1.0);
}

void TQtChartView::ZoomIn() {
  SetScale(Scale() * kZoomStep);
}

void TQtChartView::ZoomOut() {
  SetScale(Scale() / kZoomStep);
}

void TQtChartView::SetScale(double scale) {
  fitted_ = false;
  area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  picture_->SetScale(std::clamp(scale, kMinimumScale, kMaximumScale));
  ShowScale();
}

double TQtChartView::Scale() const {
  return picture_->Scale();
}

QSize TQtChartView::ShownSize() const {
  return picture_->size();
}

double TQtChartView::FittedScale() const {
  const QImage& picture = picture_->Picture();
  if (picture.isNull()) return 1.0;
  const QSize view = area_->viewport()->size();
  const double scale = std::min(static_cast<double>(view.width()) / picture.width(),
                                static_cast<double>(view.height()) / picture.height());
  return std::clamp(scale, kMinimumScale, kMaximumScale);
}

void TQtChartView::ShowScale() {
  fitButton_->setChecked(fitted_);
  zoomLabel_->setText(QString::number(std::lround(Scale() * 100)) + " %");
  zoomInButton_->setEnabled(Scale() < kMaximumScale);
  zoomOutButton_->setEnabled(Scale() > kMinimumScale);
}

// Fitted, the picture follows the view's size.
bool TQtChartView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == area_->viewport() && event->type() == QEvent::Resize && fitted_) {
    picture_->SetScale(FittedScale());
    ShowScale();
  }
  return QWidget::eventFilter(watched, event);
}
