#include "ui/splash_screen.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScreen>
#include <QSvgRenderer>
#include <QTimer>

namespace quill::ui {

namespace {

constexpr int kShowBlendMs = 500;
constexpr int kHideBlendMs = 200;
const QSize kSplashSize(480, 280);

}  // namespace

CSplashScreenEx::CSplashScreenEx(int display_ms, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
      displayMs_(display_ms) {
  setObjectName(QStringLiteral("SplashScreenExClass"));
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(kSplashSize);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->geometry().center() - rect().center());
  }
}

void CSplashScreenEx::Start() {
  setWindowOpacity(0.0);
  show();
  auto* fade_in = new QPropertyAnimation(this, "windowOpacity", this);
  fade_in->setDuration(kShowBlendMs);
  fade_in->setStartValue(0.0);
  fade_in->setEndValue(1.0);
  fade_in->start(QAbstractAnimation::DeleteWhenStopped);
  QTimer::singleShot(displayMs_, this, [this] {
    auto* fade_out = new QPropertyAnimation(this, "windowOpacity", this);
    fade_out->setDuration(kHideBlendMs);
    fade_out->setStartValue(windowOpacity());
    fade_out->setEndValue(0.0);
    connect(fade_out, &QPropertyAnimation::finished, this, &QWidget::close);
    fade_out->start(QAbstractAnimation::DeleteWhenStopped);
  });
}

void CSplashScreenEx::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QSvgRenderer picture(QStringLiteral(":/quillstone/splash.svg"));
  picture.render(&painter, QRectF(rect()));
}

}  // namespace quill::ui
