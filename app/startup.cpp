#include "startup.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

#include "app_font.h"
#include "close_on_signal.h"
#include "left_shift.h"
#include "main_form.h"
#include "startup_ahead.h"
#include "style_images.h"
#include "texts.h"

TMainForm* MainForm = nullptr;

namespace {

void ShowStartupError(const QString& message) {
  QMessageBox::critical(nullptr, QString::fromLatin1(texts::kAppTitle), message);
}

}  // namespace

int RunApplication(int& argc, char** argv, const BackendFactory& makeBackend,
                   const WindowHook& onShown) {
  // The window is laid out in device pixels and is never scaled.
  if (qEnvironmentVariableIsEmpty("QT_ENABLE_HIGHDPI_SCALING")) {
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  }
  StartupAhead ahead;
  QApplication app(argc, argv);
  try {
    CacheStyleImages();
    ahead.waitForFonts();
    RegisterEmbeddedFont();
    QApplication::setApplicationName(QString::fromLatin1(texts::kAppTitle));
    QGuiApplication::setDesktopFileName(QStringLiteral("vorlane"));
    InstallLeftShiftWatcher();
    CloseWindowsOnTerminationSignals();

    TMainForm form(makeBackend ? makeBackend() : nullptr);
    MainForm = &form;
    form.showCentred();
    if (onShown) onShown(form);
    QApplication::exec();
    MainForm = nullptr;
  } catch (const std::exception& error) {
    MainForm = nullptr;
    ShowStartupError(QString::fromLocal8Bit(error.what()));
  } catch (...) {
    MainForm = nullptr;
    ShowStartupError(QString());
  }
  return 0;
}
