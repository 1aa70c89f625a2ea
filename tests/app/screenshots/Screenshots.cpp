// Renders every window of the desktop application, as a user sees it at
// work on a real volume, into PNG files: salvora-screenshots OUTPUT_FOLDER.
// scripts/screenshots.sh runs it under Xvfb for the README's pictures.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <functional>

#include "app/CreateImageProcessWnd.h"
#include "app/LanguageStore.h"
#include "app/MainWnd.h"
#include "app/MessageBox.h"
#include "app/PreviewSession.h"
#include "app/PreviewWnd.h"
#include "app/RecoverProcessWnd.h"
#include "app/ScanProcessWnd.h"
#include "app/SearchProcessWnd.h"
#include "app/support/AppTestSupport.h"
#include "preview/PreviewFixtures.h"
#include "results/TypeGroups.h"
#include "storage/ImageDisks.h"

using namespace salvora;
using namespace salvora::test;

namespace {

QString output;

void Save(QWidget* window, const QString& name) {
  // Labels changed in this turn of the event loop are laid out first.
  if (window->layout()) window->layout()->activate();
  window->grab().save(output + "/" + name + ".png");
}

// Saves `window` once `ready` holds (checked every 20 ms while it runs), or
// as it closes when it was too quick for that.
void SaveWhen(QDialog* window, const QString& name, std::function<bool()> ready) {
  auto* poll = new QTimer(window);
  QObject::connect(poll, &QTimer::timeout, window, [=] {
    if (!window->isVisible() || !ready()) return;
    poll->stop();
    Save(window, name);
  });
  QObject::connect(window, &QDialog::finished, window, [=] {
    if (poll->isActive()) Save(window, name);
    poll->stop();
  });
  poll->start(20);
}

int ProgressOf(QWidget* window) { return window->findChild<QProgressBar*>("progress")->value(); }

// Clicks a box's first button after saving it.
void SaveBoxesAs(const QString& name) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, [=] {
    auto* box = qobject_cast<CMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    poll->deleteLater();
    Save(box, name);
    box->findChild<QPushButton*>("cancelbtn")->click();
  });
  poll->start(50);
}

std::vector<FoundRecord> ScanAndCollect(DiskListItem& item, int mode) {
  CScanProcessWnd scan({&item}, mode, nullptr);
  SaveWhen(&scan, mode == CScanProcessWnd::kDeepScan ? "scan-deep" : "scan-quick",
           [&] { return ProgressOf(&scan) >= 40; });
  scan.Run();
  RecordArena results;
  CSearchProcessWnd collect({&item}, KnownExtensions() + "|.other", results, nullptr);
  SaveWhen(&collect, "collect", [] { return true; });
  collect.Run();
  return WholeRecords(results);
}

void Recover(DiskListItem& item, const std::vector<FoundRecord>& results, const TempDir& dir) {
  CRecoverProcessWnd recovery({dir / "recovered", results, {&item}}, nullptr);
  auto* finish = recovery.findChild<QPushButton*>("FinishBtn");
  SaveWhen(&recovery, "recover-finished", [&] { return finish->isVisible(); });
  SaveWhen(&recovery, "recover-details", [&, shown = false]() mutable {
    if (!finish->isVisible()) return false;
    if (!shown) recovery.findChild<QPushButton*>("DetailBtn")->click();
    shown = true;
    return true;
  });
  QTimer::singleShot(4000, finish, &QPushButton::click);
  recovery.Run();
}

void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

// Runs the window's loop until `done` holds (work on workers has come back),
// for at most half a minute.
void Await(const std::function<bool()>& done) {
  for (int turn = 0; turn < 3000 && !done(); ++turn) {
    QApplication::processEvents();
    QThread::msleep(10);
  }
  Settle();
}

// Previews are prepared on a worker; the picture is taken once shown.
void AwaitPreview(CMainWnd& main) {
  Await([&main] { return !main.Previews().Busy(); });
}

// Every page of the main window on the way from the mode choice to the
// found files of the sample card.
void SaveMainWindowPages(CMainWnd& main, const std::string& image) {
  auto* deep = main.findChild<QWidget*>("BtnDeepRecovery");
  QEvent enter(QEvent::Enter);
  QApplication::sendEvent(deep, &enter);
  Settle();
  Save(&main, "main-mode");
  // An image handed over at the start waits for the choice of a mode.
  main.TakeArguments({QString::fromStdString(image)});
  main.findChild<QAbstractButton*>("BtnDeepRecovery")->click();
  Settle();
  Save(&main, "main-disks");
  main.findChild<QPushButton*>("BtnAdvanceScan")->click();
  Settle();
  Save(&main, "main-types");
  main.findChild<QPushButton*>("BtnScan")->click();
  Settle();
  auto* tree = main.findChild<QTreeWidget*>("TypeTree");
  tree->setCurrentItem(tree->topLevelItem(0)->child(0));
  auto* list = main.findChild<QTreeView*>("FileList");
  list->model()->setData(list->model()->index(0, 0), Qt::Checked, Qt::CheckStateRole);
  list->setCurrentIndex(list->model()->index(0, 0));
  AwaitPreview(main);
  Save(&main, "main-results");
}

// The main window previewing each kind of found file by folder, then the
// preview window on the photo.
void SavePreviews(const TempDir& dir) {
  std::map<std::string, std::string> files = {
      {"Camera/Harbour view.jpg", MakeJpeg(dir, 640, 480, "31")},
      {"Papers/Two pages.pdf", ReadFile(PreviewFixture("letter.pdf"))},
      {"Papers/Letter text.docx", ReadFile(PreviewFixture("letter.docx"))},
      {"Papers/Bundle of notes.zip", MakeZip(dir)},
  };
  std::vector<std::string> deleted;
  for (const auto& [path, bytes] : files) deleted.push_back(path);
  DeletedFilesImage card = MakeFatImageWithDeletedFiles(dir, "papers.img", files, deleted);
  CMainWnd main;
  main.resize(800, 500);
  OpenOn(main, card.image, "BtnDeletedRecovery");
  main.findChild<QPushButton*>("BtnScan")->click();
  main.findChild<QTabWidget*>("TreeTabs")->setCurrentIndex(1);
  auto* folders = main.findChild<QTreeView*>("DiskTree");
  auto* list = main.findChild<QTreeView*>("FileList");
  auto select = [](QTreeView* view, const QModelIndex& parent, const QString& name) {
    QAbstractItemModel* model = view->model();
    view->expand(parent);
    for (int row = 0; row < model->rowCount(parent); ++row)
      if (model->index(row, 0, parent).data().toString() == name)
        view->setCurrentIndex(model->index(row, 0, parent));
    return view->currentIndex().row();
  };
  auto show = [&](const QString& folder, const QString& name, const QString& shot) {
    // Folders and their files are listed on a worker.
    QModelIndex root = folders->model()->index(0, 0);
    folders->expand(root);
    Await([&] { return folders->model()->rowCount(root) > 0; });
    select(folders, root, folder);
    Await([&] {
      return list->model()->rowCount() > 0 &&
             list->model()->index(0, 1).data().toString() == folder + "/";
    });
    int row = select(list, QModelIndex(), name);
    AwaitPreview(main);
    if (!shot.isEmpty()) Save(&main, shot);
    return row;
  };
  show("Papers", "Two pages.pdf", "preview-pdf");
  show("Papers", "Letter text.docx", "preview-document");
  show("Papers", "Bundle of notes.zip", "preview-archive");
  int photo = show("Camera", "Harbour view.jpg", "");
  CPreviewWnd preview(main, main.Previews(), photo);
  preview.resize(640, 520);
  preview.show();
  AwaitPreview(main);
  Save(&preview, "preview-window");
}

// The imaging window copying the card into a new image.
void SaveImaging(const DeletedFilesImage& card, const TempDir& dir) {
  PartitionRecord whole;
  whole.diskNumber = static_cast<int32_t>(ImageDiskNumber(card.image));
  whole.length = static_cast<int64_t>(std::filesystem::file_size(card.image) / 512);
  CCreateImageProcessWnd imaging({whole, -1, dir / "copy.img"}, nullptr);
  SaveWhen(&imaging, "imaging", [&] { return ProgressOf(&imaging) >= 30; });
  imaging.Run();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("docs/screenshots");
  QDir().mkpath(output);
  AppEnvironment environment;
  TempDir dir;
  DeletedFilesImage card = MakeSampleCard(dir);

  CMainWnd main;
  main.resize(800, 500);
  main.show();
  SaveMainWindowPages(main, card.image);

  {
    // Earlier scans of the card are not resumed: each window starts afresh.
    BoxAnswerer fresh([](int, const QString&) { return CMessageBox::kCancel; });
    DiskListItem item;
    item.imagePath = card.image;
    item.key = 1;
    ScanAndCollect(item, CScanProcessWnd::kQuickScan);
    std::vector<FoundRecord> results = ScanAndCollect(item, CScanProcessWnd::kDeepScan);
    Recover(item, results, dir);
  }

  SavePreviews(dir);
  SaveImaging(card, dir);

  SaveBoxesAs("question");
  CMessageBox::Show(&main, CMessageBox::kQuestion, Msg("MSG0709"), 350, 160);
  SaveBoxesAs("warning");
  CMessageBox::Show(&main, CMessageBox::kWarning, Msg("MSG0504"), 300, 160);
  LanguageStore::Instance().SetLanguage("German");
  SaveBoxesAs("question-german");
  CMessageBox::Show(&main, CMessageBox::kQuestion, Msg("MSG1103"), 350, 160);
  return 0;
}
