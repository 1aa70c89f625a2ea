// salvora-gui: the desktop application.
#include <QScreen>
#include <QStyle>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "SalvoraVersion.h"
#include "app/GuardedApplication.h"
#include "app/LanguageStore.h"
#include "app/MainWnd.h"
#include "app/MessageBox.h"
#include "app/OrderlyExit.h"
#include "app/SingleInstance.h"
#include "platform/DataFolders.h"

namespace {

using salvora::CMainWnd;
using salvora::CMessageBox;
using salvora::GuardedApplication;
using salvora::LanguageStore;
using salvora::SingleInstance;

// What the program leaves behind for nobody: the media preview's copy.
void ShutDown() {
  std::error_code ignored;
  std::filesystem::remove(salvora::ScanLogFolder() / "tmp.avi", ignored);
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before any window system is needed.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("salvora-gui %s\n", SALVORA_VERSION);
      return 0;
    }
  }
  GuardedApplication app(argc, argv);
  QApplication::setApplicationName("salvora-gui");
  QApplication::setApplicationVersion(SALVORA_VERSION);
  QApplication::setDesktopFileName("org.salvora.Salvora");

  QStringList arguments = QApplication::arguments().mid(1);
  SingleInstance instance;
  switch (instance.Start(arguments)) {
    case SingleInstance::Outcome::kHandedOver:
      return 0;
    case SingleInstance::Outcome::kNoAnswer:
      CMessageBox::Show(nullptr, CMessageBox::kInformation,
                        LanguageStore::Instance().Text("MainWnd", "AlreadyRunning"), 350, 150);
      return 0;
    case SingleInstance::Outcome::kFirst:
      break;
  }

  CMainWnd window;
  QObject::connect(&instance, &SingleInstance::ArgumentsReceived, &window,
                   &CMainWnd::TakeArguments);
  window.resize(800, 500);
  window.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window.size(),
                                         window.screen()->availableGeometry()));
  window.Exit().WatchSignals();
  window.show();
  window.TakeArguments(arguments);
  int code = QApplication::exec();
  ShutDown();
  return code;
}
