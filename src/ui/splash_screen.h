// CSplashScreenEx: the start-up picture, borderless and on top, centred on
// the screen; it fades in over 500 ms, stays for its display time and fades
// out over 200 ms before it goes.
#pragma once

#include <QWidget>

namespace quill::ui {

inline constexpr int kSplashDisplayMs = 2000;

class CSplashScreenEx : public QWidget {
  Q_OBJECT

 public:
  explicit CSplashScreenEx(int display_ms = kSplashDisplayMs, QWidget* parent = nullptr);
  // Shows it and starts its timer; it deletes itself when done.
  void Start();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int displayMs_;
};

}  // namespace quill::ui
