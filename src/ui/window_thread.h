// Runs a call on the thread that owns the window: directly when the caller
// is already there, otherwise as a queued call that blocks the calling
// worker until the window thread has run it. The window thread never waits
// for a worker, so the two cannot wait for each other.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <functional>
#include <utility>

namespace quill::ui {

template <typename Call>
void OnWindowThread(QObject* window, Call&& call) {
  if (QThread::currentThread() == window->thread()) {
    call();
    return;
  }
  QMetaObject::invokeMethod(window, std::function<void()>(std::forward<Call>(call)),
                            Qt::BlockingQueuedConnection);
}

// Queues a call to the window thread and returns at once.
inline void PostToWindowThread(QObject* window, std::function<void()> call) {
  QMetaObject::invokeMethod(window, std::move(call), Qt::QueuedConnection);
}

}  // namespace quill::ui
