// Previews in the main window and the preview window, on files made by
// real encoders and found on a real volume: pictures, PDF pages, archive
// listings, the text view of what cannot be decoded, and the players.
#include <signal.h>

#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>
#include <cstring>
#include <filesystem>
#include <future>
#include <thread>

#include "app/FileListModel.h"
#include "app/LanguageStore.h"
#include "app/MainWnd.h"
#include "app/MediaPlayback.h"
#include "app/MessageBox.h"
#include "app/PreviewDisplay.h"
#include "app/PreviewSession.h"
#include "app/PreviewWnd.h"
#include "app/support/AppTestSupport.h"
#include "platform/ErrorCodes.h"
#include "preview/PreviewFixtures.h"
#include "support/MisbehavingEngine.h"

using namespace salvora;
using namespace salvora::test;

namespace {

struct Found {
  CMainWnd* window;
  QTreeView* list;
  QTextBrowser* preview;
  int Row(const QString& name) const {
    for (int row = 0; row < list->model()->rowCount(); ++row)
      if (list->model()->index(row, 0).data().toString() == name) return row;
    return -1;
  }
  // Selects the row and waits for its preview, which is prepared on a worker.
  void Select(const QString& name) {
    QSignalSpy shown(&window->Previews(), &PreviewSession::Shown);
    list->setCurrentIndex(list->model()->index(Row(name), 0));
    QTRY_VERIFY(shown.count() > 0);
  }
};

// Copies "held.bin" until its preview is cancelled (as a slow disk would);
// any other file's copy is its own name.
class HeldPreviewEngine : public MisbehavingEngine {
 public:
  int ExtractForPreview(const FoundRecord* record, std::string&, uint8_t* memory, uint32_t& size,
                        ExtractProgressFn progress, void* user) override {
    std::string name(record->name, RecordNameLength(record->name));
    if (name == "held.bin") {
      held = true;
      // Long enough for any test; a preview nobody cancels fails it.
      for (int turn = 0; turn < 4000; ++turn) {
        if (progress(user, turn % 100, kOk) != kOk) {
          cancelled = true;
          return kCancelled;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      return kReadFault;
    }
    size = std::min<uint32_t>(size, static_cast<uint32_t>(name.size()));
    std::memcpy(memory, name.data(), size);
    return kOk;
  }

  std::atomic<bool> held{false};
  std::atomic<bool> cancelled{false};
};

FoundRecord RecordNamed(const char* name) {
  FoundRecord record{};
  SetRecordName(record.name, name);
  record.fileSize = 100;
  return record;
}

// The picture the box shows, if any.
QImage ShownPicture(QTextBrowser* view) {
  return view->document()
      ->resource(QTextDocument::ImageResource, QUrl("preview://picture"))
      .value<QImage>();
}

}  // namespace

class PreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { environment_ = std::make_unique<AppEnvironment>(); }
  void cleanup() { environment_.reset(); }

  void eachKindPreviewsItsContentAndBrokenOnesFallBack() {
    TempDir dir;
    std::string jpeg = MakeJpeg(dir, 640, 480, "31");
    std::map<std::string, std::string> files = {
        {"Camera/Harbour view.jpg", jpeg},
        {"Camera/Broken shot.jpg", jpeg.substr(0, 20) + std::string(3000, '\0') + "tail"},
        {"Papers/Two pages.pdf", ReadFile(PreviewFixture("letter.pdf"))},
        {"Papers/Letter text.docx", ReadFile(PreviewFixture("letter.docx"))},
        {"Papers/Bundle of notes.zip", MakeZip(dir)},
        {"Papers/Plain words.txt", "quite plain words in a text file\n"},
        {"Papers/Raw blob.dat", std::string("AB\0CD", 5) + std::string(100, 'x')},
    };
    std::vector<std::string> all;
    for (const auto& [path, bytes] : files) all.push_back(path);
    DeletedFilesImage card = MakeFatImageWithDeletedFiles(dir, "card.img", files, all);
    CMainWnd window;
    OpenOn(window, card.image, "BtnDeletedRecovery");
    window.findChild<QPushButton*>("BtnScan")->click();
    auto* folders = window.findChild<QTreeView*>("DiskTree");
    Found found{&window, window.findChild<QTreeView*>("FileList"),
                window.findChild<QTextBrowser*>("PreviewEdit")};

    auto openFolder = [&](const QString& name) {
      QAbstractItemModel* model = folders->model();
      QModelIndex root = model->index(0, 0);
      folders->expand(root);
      QTRY_VERIFY(model->rowCount(root) > 0);
      for (int row = 0; row < model->rowCount(root); ++row)
        if (model->index(row, 0, root).data().toString() == name)
          folders->setCurrentIndex(model->index(row, 0, root));
      // The folder's files arrive from the worker.
      QAbstractItemModel* rows = found.list->model();
      QTRY_VERIFY(rows->rowCount() > 0 && rows->index(0, 1).data().toString() == name + "/");
    };
    openFolder("Camera");
    found.Select("Harbour view.jpg");
    QImage shown = ShownPicture(found.preview);
    QVERIFY(!shown.isNull());
    QVERIFY(qAbs(shown.width() * 3 - shown.height() * 4) <= 4);  // 640 x 480, however scaled
    found.Select("Broken shot.jpg");
    QVERIFY(ShownPicture(found.preview).isNull());
    QVERIFY2(
        found.preview->toPlainText().startsWith(QString::fromLatin1(jpeg.substr(0, 4).c_str(), 4)),
        qPrintable(found.preview->toPlainText().left(40)));
    QVERIFY(found.preview->toPlainText().contains("......"));  // zero bytes as dots

    openFolder("Papers");
    found.Select("Two pages.pdf");
    QImage page = ShownPicture(found.preview);
    QVERIFY(!page.isNull());
    int inked = 0;  // text shrunk to fit the box is grey rather than black
    for (int y = 0; y < page.height(); ++y)
      for (int x = 0; x < page.width(); ++x) inked += qGray(page.pixel(x, y)) < 224;
    QVERIFY2(inked > 0 && inked < page.width() * page.height() / 2,  // the text, on white
             qPrintable(QString("%1 of %2x%3").arg(inked).arg(page.width()).arg(page.height())));
    found.Select("Letter text.docx");
    QVERIFY2(found.preview->toPlainText().contains("Salvora letter alpha"),
             qPrintable(found.preview->toPlainText().left(80)));
    found.Select("Bundle of notes.zip");
    QString listing = found.preview->toPlainText();
    QVERIFY2(listing.startsWith("-------------------"), qPrintable(listing));
    QVERIFY(listing.contains("alpha-notes.txt") && listing.contains("beta-figures.csv"));
    found.Select("Plain words.txt");
    QVERIFY(found.preview->toPlainText().startsWith("quite plain words"));
    found.Select("Raw blob.dat");
    QVERIFY(found.preview->toPlainText().startsWith("AB.CD"));

    // A folder row says what checking it does.
    QAbstractItemModel* model = folders->model();
    folders->setCurrentIndex(model->index(0, 0));
    QTRY_VERIFY(found.Row("Camera") >= 0);
    int folderRow = found.Row("Camera");
    QVERIFY(folderRow >= 0);
    found.list->setCurrentIndex(found.list->model()->index(folderRow, 0));
    QCOMPARE(found.preview->toPlainText().trimmed(), Msg("MSG0904"));
  }

  void thePreviewWindowStepsThroughPhotosAndRecoversTheShownOne() {
    TempDir dir;
    std::map<std::string, std::string> files = {
        {"A first photo.jpg", MakeJpeg(dir, 300, 200, "41")},
        {"B between them.txt", "not a photo"},
        {"C second photo.jpg", MakeJpeg(dir, 200, 300, "42")},
    };
    DeletedFilesImage card = MakeFatImageWithDeletedFiles(
        dir, "card.img", files, {"A first photo.jpg", "B between them.txt", "C second photo.jpg"});
    CMainWnd window;
    OpenOn(window, card.image, "BtnDeletedRecovery");
    window.findChild<QPushButton*>("BtnScan")->click();
    auto* folders = window.findChild<QTreeView*>("DiskTree");
    folders->setCurrentIndex(folders->model()->index(0, 0));
    FileListModel& rows = window.Files();
    QTRY_COMPARE(rows.rowCount(), 3);
    rows.ClickHeader(FileListModel::kName);
    // A sort may finish on a later turn of the event loop.
    QTRY_COMPARE(QString(rows.RecordAt(0).name), QString("A first photo.jpg"));

    CPreviewWnd preview(window, window.Previews(), 0);
    QCOMPARE(preview.Row(), 0);
    // The picture arrives before the window is laid out, and then fills it.
    preview.resize(640, 520);
    preview.show();
    QTRY_COMPARE(ShownPicture(preview.findChild<QTextBrowser*>("PreviewEdit")).size(),
                 QSize(300, 200));
    preview.findChild<QPushButton*>("NextBtn")->click();
    QCOMPARE(preview.Row(), 2);  // the text file is passed over
    QVERIFY(!preview.findChild<QPushButton*>("NextBtn")->isEnabled());
    preview.findChild<QPushButton*>("PrevBtn")->click();
    QCOMPARE(preview.Row(), 0);

    FileDialogAnswerer folder({QString::fromStdString(dir / "out")});
    RecoveryFinisher finisher;
    std::filesystem::create_directories(dir / "out");
    preview.findChild<QPushButton*>("RecoveryBtn")->click();
    QCOMPARE(FilesUnder(dir / "out"),
             (std::map<std::string, std::string>{
                 {"photo/A first photo.jpg", files["A first photo.jpg"]}}));
  }

  void aNewSelectionCancelsTheRunningPreviewWithoutWaiting() {
    QWidget owner;
    auto* view = new QTextBrowser(&owner);
    BackgroundQueue engineWorker;
    PreviewSession session(&owner, engineWorker);
    HeldPreviewEngine engine;
    QSignalSpy shown(&session, &PreviewSession::Shown);

    // The request returns while the copy still runs, and no window waits.
    session.ShowIn(view, RecordNamed("held.bin"), &engine, "no picture");
    QTRY_VERIFY(engine.held);
    QVERIFY(session.Busy());
    QVERIFY(!QApplication::activeModalWidget());
    // A preview that takes a while says what it prepares.
    QTRY_VERIFY(view->toPlainText().contains("held.bin"));

    session.ShowIn(view, RecordNamed("next.txt"), &engine, "no picture");
    QTRY_COMPARE(shown.count(), 1);
    QVERIFY(engine.cancelled);
    QVERIFY(view->toPlainText().startsWith("next.txt"));
    QVERIFY(!session.Busy());

    // Of previews asked in quick succession only the last is shown, even
    // where an earlier one is ready first.
    shown.clear();
    session.ShowIn(view, RecordNamed("first.txt"), &engine, "no picture");
    session.ShowIn(view, RecordNamed("second.txt"), &engine, "no picture");
    QTRY_COMPARE(shown.count(), 1);
    QTest::qWait(50);
    QCOMPARE(shown.count(), 1);
    QVERIFY(view->toPlainText().startsWith("second.txt"));

    // The copy waits its turn on the engines' worker, so that no engine is
    // read by two threads at once.
    std::promise<void> release;
    engineWorker.Run([gate = release.get_future().share()] { gate.wait(); });
    engine.held = engine.cancelled = false;
    session.ShowIn(view, RecordNamed("held.bin"), &engine, "no picture");
    QTest::qWait(100);
    QVERIFY(!engine.held);
    release.set_value();
    QTRY_VERIFY(engine.held);

    // Cancelling (the list changed) empties the box without waiting.
    QTRY_VERIFY(!view->toPlainText().isEmpty());
    session.Cancel();
    QVERIFY(!session.Busy());
    QVERIFY(view->toPlainText().isEmpty());
    QTRY_VERIFY(engine.cancelled);

    // Stopping lets go of the engine before it may be replaced.
    engine.held = engine.cancelled = false;
    session.ShowIn(view, RecordNamed("held.bin"), &engine, "no picture");
    QTRY_VERIFY(engine.held);
    session.Stop();
    QVERIFY(engine.cancelled);
    QVERIFY(!session.Busy());
  }

  void picturesAreDrawnWithTheScreensPixels() {
    QImage photo(800, 600, QImage::Format_RGB32);
    photo.fill(Qt::darkCyan);
    // Shrunk to the room in the window's units, drawn with twice the pixels.
    QImage dense = FitPicture(photo, QSize(300, 300), 2.0, false);
    QCOMPARE(dense.size(), QSize(600, 450));
    QCOMPARE(dense.deviceIndependentSize().toSize(), QSize(300, 225));
    // A picture with fewer pixels than the screen offers is never enlarged,
    // nor shown smaller than on a plain screen.
    QImage small = FitPicture(photo, QSize(500, 500), 2.0, false);
    QCOMPARE(small.size(), QSize(800, 600));
    QCOMPARE(small.deviceIndependentSize().toSize(), QSize(500, 375));
    QImage plain = FitPicture(photo.scaled(300, 200), QSize(640, 520), 1.0, false);
    QCOMPARE(plain.size(), QSize(300, 200));
    QCOMPARE(plain.deviceIndependentSize().toSize(), QSize(300, 200));
    // A page is read across the room's width.
    QImage page = FitPicture(QImage(1200, 1600, QImage::Format_RGB32), QSize(400, 300), 1.5, true);
    QCOMPARE(page.size(), QSize(600, 800));
    QCOMPARE(page.deviceIndependentSize().toSize(), QSize(400, 533));
  }

  void playersFollowThePercentRuleAndEndByTheirPid() {
    if (!HaveCommand("mpv") || !HaveCommand("ffmpeg")) QSKIP("needs mpv and ffmpeg");
    TempDir dir;
    std::string video = dir / "clip.mkv";
    Run("ffmpeg -loglevel error -f lavfi -i testsrc=duration=20:size=160x120:rate=10 " +
        Quote(video));
    QWidget owner;
    MediaPlayback playback(&owner);
    playback.UsePlayer("mpv", {"--vo=null", "--ao=null"});
    QSignalSpy failed(&playback, &MediaPlayback::Failed);
    playback.Play(video, false);
    QTRY_VERIFY_WITH_TIMEOUT(playback.PlayerPid() > 0, 5000);
    int first = playback.PlayerPid();
    QTest::qWait(1500);
    QCOMPARE(failed.count(), 0);
    // A second preview ends the first player.
    playback.Play(video, false);
    QTRY_VERIFY(playback.PlayerPid() > 0 && playback.PlayerPid() != first);
    QVERIFY(::kill(first, 0) != 0);
    playback.Stop();
    QCOMPARE(playback.PlayerPid(), 0);

    // A player that never says it plays has failed.
    std::string mute = dir / "mute-player.sh";
    WriteFile(mute, "#!/bin/sh\necho 'starting'\nsleep 0.2\nexit 0\n");
    std::filesystem::permissions(mute, std::filesystem::perms::owner_all);
    BoxAnswerer boxes([](int, const QString&) { return CMessageBox::kOk; });
    playback.UsePlayer(mute, {});
    playback.Play(video, false);
    QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 10000);
    QTRY_VERIFY(boxes.Texts().contains(Msg("MSG1207")));
  }

 private:
  std::unique_ptr<AppEnvironment> environment_;
};

QTEST_MAIN(PreviewTest)
#include "PreviewTest.moc"
