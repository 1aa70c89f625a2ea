// The frame every window stands on: layouts that lack a control fail
// loudly, every window binds its controls, file icons follow extensions,
// and only one instance of the program runs per user.
#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include "app/CreateImageProcessWnd.h"
#include "app/ExtensionIcon.h"
#include "app/MainWnd.h"
#include "app/MessageBox.h"
#include "app/RecoverProcessWnd.h"
#include "app/ScanProcessWnd.h"
#include "app/SearchProcessWnd.h"
#include "app/SingleInstance.h"
#include "app/Skin.h"
#include "app/support/AppTestSupport.h"

using namespace salvora;
using namespace salvora::test;

class FrameTest : public QObject {
  Q_OBJECT

 private slots:
  void aMissingControlFailsLoudly() {
    QWidget host;
    QWidget* form = LoadSkin("ScanProcessWnd", &host);
    QVERIFY(Bind<QWidget>(form, "stage"));
    try {
      Bind<QWidget>(form, "NoSuchControl");
      QFAIL("binding a missing control must throw");
    } catch (const SkinError& error) {
      QVERIFY(QString(error.what()).contains("NoSuchControl"));
      QVERIFY(QString(error.what()).contains("ScanProcessWnd"));
    }
    QVERIFY_THROWS_EXCEPTION(SkinError,
                             Bind<QWidget>(form, "cancelbtn") && Bind<QLabel>(form, "cancelbtn"));
    QVERIFY_THROWS_EXCEPTION(SkinError, LoadSkin("NoSuchWindow", &host));
  }

  void everyWindowBindsItsControls() {
    AppEnvironment environment;
    RecordArena results;
    CMainWnd main;
    CScanProcessWnd scan({}, 0, nullptr);
    CSearchProcessWnd search({}, "", results, nullptr);
    CRecoverProcessWnd recover({}, nullptr);
    CCreateImageProcessWnd image({}, nullptr);
    for (int kind = -1; kind <= 5; ++kind) CMessageBox box(nullptr, kind, "text");
  }

  void messageBoxesAnswerOneForOkAndTwoOtherwise() {
    AppEnvironment environment;
    int answer = 0;
    BoxAnswerer yes([&](int kind, const QString& text) {
      answer = kind;
      return text == "go" ? CMessageBox::kOk : CMessageBox::kCancel;
    });
    QCOMPARE(CMessageBox::Show(nullptr, CMessageBox::kQuestion, "go", 350, 160), 1);
    QCOMPARE(answer, int(CMessageBox::kQuestion));
    QCOMPARE(CMessageBox::Show(nullptr, CMessageBox::kConfirm, "stop", 450, 160), 2);
    // Unknown kinds show the error box.
    QCOMPARE(CMessageBox::Show(nullptr, 9, "go", 300, 160), 1);
    QCOMPARE(answer, int(CMessageBox::kError));
  }

  void fileIconsFollowTheExtension() {
    QCOMPARE(QString(ExtensionIconName("jpg")), QString("image"));
    QCOMPARE(QString(ExtensionIconName("mp3")), QString("music"));
    QCOMPARE(QString(ExtensionIconName("rm")), QString("music"));
    QCOMPARE(QString(ExtensionIconName("pdf")), QString("doc"));
    QCOMPARE(QString(ExtensionIconName("mkv")), QString("video"));
    QCOMPARE(QString(ExtensionIconName("7z")), QString("zip"));
    QCOMPARE(QString(ExtensionIconName("exe")), QString("exe"));
    QCOMPARE(QString(ExtensionIconName("folder")), QString("folder"));
    QCOMPARE(QString(ExtensionIconName("xyz")), QString("default"));
    QCOMPARE(QString(ExtensionIconName("")), QString("default"));
    QImage good = ExtensionIcon("jpg", true).pixmap(32, 32).toImage();
    QImage marked = ExtensionIcon("jpg", false).pixmap(32, 32).toImage();
    QVERIFY(!good.isNull());
    QVERIFY(good != marked);  // the warning emblem is drawn over it
    QCOMPARE(ExtensionIcon("folder", false).pixmap(32, 32).toImage(),
             ExtensionIcon("folder", true).pixmap(32, 32).toImage());
  }

  void aSecondStartHandsOverItsArgumentsAndExits() {
    AppEnvironment environment;
    QString name = QStringLiteral("salvora-test-%1").arg(QCoreApplication::applicationPid());
    SingleInstance first(name);
    QCOMPARE(first.Start({}), SingleInstance::Outcome::kFirst);
    QSignalSpy received(&first, &SingleInstance::ArgumentsReceived);

    // A second program really started: it must hand over and leave.
    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SALVORA_INSTANCE_NAME", name);
    second.setProcessEnvironment(env);
    second.start(qEnvironmentVariable("SALVORA_GUI_BINARY"), {"/tmp/disk.img"});
    QVERIFY(second.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, 20000);
    QCOMPARE(received.at(0).at(0).toStringList(), QStringList{"/tmp/disk.img"});
    // It may have left already while the event loop above ran.
    QVERIFY(second.state() == QProcess::NotRunning || second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
  }

  void aRunningInstanceThatDoesNotAnswerIsReported() {
    QString name = QStringLiteral("salvora-mute-%1").arg(QCoreApplication::applicationPid());
    QLocalServer mute;  // accepts, never answers
    QVERIFY(mute.listen(name));
    SingleInstance later(name);
    QCOMPARE(later.Start({"x"}), SingleInstance::Outcome::kNoAnswer);
  }
};

QTEST_MAIN(FrameTest)
#include "FrameTest.moc"
