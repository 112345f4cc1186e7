// quillstone-gui: the desktop application.
#include <QApplication>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "scan/application_state.h"
#include "pages/collation_table.h"
#include "ui/app_texts.h"
#include "ui/main_window.h"
#include "ui/prompter.h"
#include "ui/screenshot_tour.h"
#include "ui/single_instance.h"
#include "ui/splash_screen.h"

int main(int argc, char** argv) {
  using namespace quill::ui;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(kSettingsApplication));
  QApplication::setOrganizationName(QString::fromUtf8(kSettingsOrganization));
  QApplication::setApplicationVersion(QStringLiteral(QUILLSTONE_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("quillstone-gui"));

  // "--screenshots FILE": the README's pictures (tools/screenshots), with
  // every box answered on its own and the pictures in
  // $QUILLSTONE_SCREENSHOT_DIR.
  QStringList arguments = QApplication::arguments();
  const bool tour = arguments.size() > 2 && arguments[1] == QStringLiteral("--screenshots");
  if (tour) arguments.removeAt(1);

  const SingleInstance instance;
  // The walk keeps its settings apart from the user's.
  QTemporaryDir tour_settings;
  std::unique_ptr<QSettings> settings_store =
      tour ? std::make_unique<QSettings>(tour_settings.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat)
           : std::make_unique<QSettings>();
  QSettings& settings = *settings_store;
  DesktopPrompter desktop;
  UnattendedPrompter unattended;
  Prompter& prompter = tour ? static_cast<Prompter&>(unattended) : desktop;
  if (!instance.acquired()) {
    prompter.Inform(nullptr, QString::fromUtf8(kAnotherInstance), Prompter::Icon::kInformation);
    return 1;
  }

  quill::ApplicationState state;
  CMainFrame window(state, prompter, settings);
  window.session().LoadCollationTable({quill::DefaultCollationTablePath()});

  auto* splash = new CSplashScreenEx();
  splash->Start();
  window.showMaximized();

  // A data file on the command line is scanned at once with the dialog's
  // default options.
  if (tour) {
    StartScreenshotTour(window, QFileInfo(arguments[1]).absoluteFilePath(),
                        qEnvironmentVariable("QUILLSTONE_SCREENSHOT_DIR", QStringLiteral(".")));
  } else if (arguments.size() > 1 && QFileInfo(arguments[1]).isFile()) {
    const QString path = QFileInfo(arguments[1]).absoluteFilePath();
    QTimer::singleShot(0, &window, [&window, path] { window.OpenWith(CMainFrame::DefaultChoice(path)); });
  }
  return app.exec();
}
