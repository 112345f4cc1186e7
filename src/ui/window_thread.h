// Runs a call on the thread that owns the window: directly when the caller
// is already there, otherwise as a queued call that blocks the calling
// worker until the window thread has run it. The window thread never waits
// for a worker, so the two cannot wait for each other.
//
// The order between the threads is kept by standard locks, not only by the
// event queue: a worker holds PostLock while it posts, and the posted call
// takes it before anything else, so whatever the worker wrote before posting
// is seen by the call; a blocking call's end reaches the worker through a
// promise. (The event queue's own locks give the same order, but a thread
// checker cannot see them in a Qt built without it.)
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <utility>

namespace quill::ui {

namespace detail {

inline std::mutex& PostLock() {
  static std::mutex lock;
  return lock;
}

// Queues `call` (which takes PostLock first) to the window's thread.
template <typename Call>
void Post(QObject* window, Call call) {
  std::lock_guard<std::mutex> posting(PostLock());
  QMetaObject::invokeMethod(window, std::move(call), Qt::QueuedConnection);
}

}  // namespace detail

template <typename Call>
void OnWindowThread(QObject* window, Call&& call) {
  if (QThread::currentThread() == window->thread()) {
    call();
    return;
  }
  // The promise is the call's: when the window drops the call unrun (it is
  // being destroyed) the promise goes with it and the wait ends all the same.
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> ended = done->get_future();
  detail::Post(window, [&call, done] {
    { std::lock_guard<std::mutex> posted(detail::PostLock()); }
    call();
    done->set_value();
  });
  ended.wait();
}

// Queues a call to the window thread and returns at once.
inline void PostToWindowThread(QObject* window, std::function<void()> call) {
  detail::Post(window, [call = std::move(call)] {
    { std::lock_guard<std::mutex> posted(detail::PostLock()); }
    call();
  });
}

}  // namespace quill::ui
