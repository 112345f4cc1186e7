// One instance of the application at a time: a lock file in the user's
// runtime folder, named after the product. The first instance holds it
// for its lifetime; a second one finds it held.
#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace quill::ui {

class SingleInstance {
 public:
  // `folder` empty: the runtime folder (the temporary folder when there is
  // none).
  explicit SingleInstance(const QString& folder = QString());
  // False when another running instance holds the lock.
  bool acquired() const { return acquired_; }
  const QString& lockPath() const { return path_; }

 private:
  QString path_;
  std::unique_ptr<QLockFile> lock_;
  bool acquired_ = false;
};

}  // namespace quill::ui
