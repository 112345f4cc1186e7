#include "ui/single_instance.h"

#include <QDir>
#include <QStandardPaths>

namespace quill::ui {

SingleInstance::SingleInstance(const QString& folder) {
  QString dir = folder;
  if (dir.isEmpty()) dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (dir.isEmpty()) dir = QDir::tempPath();
  path_ = QDir(dir).filePath(QStringLiteral("VelmoraQuillstone.lock"));
  lock_ = std::make_unique<QLockFile>(path_);
  // A lock left by a crashed instance is taken over (QLockFile checks the
  // process id it names).
  lock_->setStaleLockTime(0);
  acquired_ = lock_->tryLock(0);
}

}  // namespace quill::ui
