// Language files and texts: how INI text is read and written, how message
// formats are checked, that every language carries every text the windows
// and the code use, and that a language switch re-texts every window.
#include <QAbstractButton>
#include <QDir>
#include <QDirIterator>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QTabWidget>
#include <QtTest>
#include <memory>

#include "app/CreateImageProcessWnd.h"
#include "app/IniFile.h"
#include "app/LanguageStore.h"
#include "app/MainWnd.h"
#include "app/MessageBox.h"
#include "app/MessageFormat.h"
#include "app/RecoverProcessWnd.h"
#include "app/SavedScansWnd.h"
#include "app/ScanProcessWnd.h"
#include "app/SearchProcessWnd.h"
#include "app/Skin.h"
#include "app/support/AppTestSupport.h"

using namespace salvora;
using namespace salvora::test;

namespace {

IniDocument ReadLanguageFile(const QString& path) {
  QFile file(path);
  file.open(QIODevice::ReadOnly);
  return IniDocument::Parse(file.readAll().toStdString());
}

QStringList LanguageFiles() {
  QDir folder(QCoreApplication::applicationDirPath() + "/Languages");
  QStringList paths;
  for (const QString& name : folder.entryList({"*.ini"}, QDir::Files))
    paths << folder.filePath(name);
  return paths;
}

// The message keys the program's texts are made of.
QStringList AllMessageKeys() {
  const std::pair<int, int> ranges[] = {
      {101, 104}, {201, 214}, {216, 221}, {301, 306}, {401, 405},   {501, 505},  {601, 602},
      {701, 709}, {801, 805}, {807, 812}, {901, 905}, {1101, 1103}, {1201, 1207}, {2001, 2005},
      {2101, 2105}, {2200, 2201}, {2300, 2303}, {2601, 2603}};
  QStringList keys;
  for (auto [first, last] : ranges)
    for (int n = first; n <= last; ++n) keys << QString("MSG%1").arg(n, 4, 10, QChar('0'));
  return keys;
}

// The text a control shows for its key, as ApplyTexts sets it.
QString ShownText(QWidget* form, const QString& key) {
  if (form->objectName() == key) return form->window()->windowTitle();
  QObject* control = FindControl(form, key.toLatin1().constData());
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
  if (auto* group = qobject_cast<QGroupBox*>(control)) return group->title();
  auto* widget = qobject_cast<QWidget*>(control);
  QWidget* stack = widget ? widget->parentWidget() : nullptr;
  if (auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr)
    return tabs->tabText(tabs->indexOf(widget));
  if (widget) return widget->accessibleName();
  return "<no control " + key + ">";
}

}  // namespace

class LanguageFilesTest : public QObject {
  Q_OBJECT

 private slots:
  void iniTextIsReadAsWritten() {
    IniDocument doc = IniDocument::Parse(
        "\xEF\xBB\xBFstray=before any section\n[Messages]\r\nMSG0804 = Selected: %s, \"%d\" "
        "files\\n=x\n; comment=no\nno equals sign\n[other]\nkey=value\n");
    QCOMPARE(doc.Sections().size(), size_t{2});
    QCOMPARE(QString::fromStdString(doc.Value("messages", "msg0804")),
             QString("Selected: %s, \"%d\" files\\n=x"));
    QCOMPARE(doc.Find("Messages")->pairs.size(), size_t{1});
    QVERIFY(doc.Value("other", "missing").empty());
    QVERIFY(doc.Value("absent", "key").empty());
  }

  void iniValueIsReplacedAddedOrAppended() {
    std::string text = "[DefaultLanguage]\nDefault=English\n[Languages]\nEnglish=English\n";
    QCOMPARE(QString::fromStdString(WithIniValue(text, "DefaultLanguage", "Default", "German")),
             QString("[DefaultLanguage]\nDefault=German\n[Languages]\nEnglish=English\n"));
    QCOMPARE(QString::fromStdString(WithIniValue(text, "Languages", "German", "Deutsch")),
             QString(QString::fromStdString(text) + "German=Deutsch\n"));
    QCOMPARE(QString::fromStdString(WithIniValue("[A]\nx=1", "B", "y", "2")),
             QString("[A]\nx=1\n[B]\ny=2\n"));
    QCOMPARE(QString::fromStdString(WithIniValue("", "B", "y", "2")), QString("[B]\ny=2\n"));
  }

  void formatsAreUsedOnlyWhenTheyFitTheArguments() {
    QCOMPARE(QString::fromStdString(*FormatChecked("%s in %d files", {"1.00 KB", 3})),
             QString("1.00 KB in 3 files"));
    QCOMPARE(
        QString::fromStdString(*FormatChecked("%I64u / %llu %% %02d:%c", {uint64_t{5}, 6, 7, 'C'})),
        QString("5 / 6 % 07:C"));
    QVERIFY(!FormatChecked("%s %s", {"one"}));     // an argument missing
    QVERIFY(!FormatChecked("%d", {1, 2}));         // an argument left over
    QVERIFY(!FormatChecked("%d", {"text"}));       // a text for a number
    QVERIFY(!FormatChecked("%s", {42}));           // a number for a text
    QVERIFY(!FormatChecked("%n%p%f", {1, 2, 3}));  // conversions never allowed
    QVERIFY(!FormatChecked("%99999999d", {1}));    // absurd widths
    QVERIFY(!FormatChecked("trailing %", {}));
  }

  void aBrokenTranslationFallsBackToEnglish() {
    AppEnvironment environment;
    TempDir languages;
    QFile::copy(QCoreApplication::applicationDirPath() + "/Languages/English.ini",
                QString::fromStdString(languages / "English.ini"));
    WriteFile(languages / "Broken.ini", "[Messages]\nMSG1102=%s %s %s %s %n\nMSG0804=%d\n");
    qputenv("SALVORA_LANGUAGES_DIR", QByteArray::fromStdString(languages.path()));
    LanguageStore::Instance().SetLanguage("Broken");
    QCOMPARE(MsgFormat("MSG1102", {4, 5, 3, 1}),
             QString("Files done: 4 of 5 (3 recovered, 1 failed)"));
    // Without an English text either, the arguments follow the text.
    WriteFile(languages / "English.ini", "[Messages]\n");
    LanguageStore::Instance().Load();
    QCOMPARE(MsgFormat("MSG0804", {"2 KB", 7}), QString("%d 2 KB 7"));
    qunsetenv("SALVORA_LANGUAGES_DIR");
  }

  void anEmptyConfigChoosesEnglishAndAChoiceIsKept() {
    AppEnvironment environment;
    QDir().mkpath(QString::fromStdString(environment.config() / "salvora"));
    WriteFile(environment.config() / "salvora/config.ini", "");
    LanguageStore::Instance().Load();
    QCOMPARE(LanguageStore::Instance().CurrentLanguage(), QString("English"));
    QCOMPARE(LanguageStore::Instance().Languages().size(), size_t{2});
    QCOMPARE(LanguageStore::Instance().Languages()[1].menuText, QString("Deutsch"));
    WriteFile(environment.config() / "salvora/config.ini", "[Other]\nkeep=me\n");
    LanguageStore::Instance().SetLanguage("German");
    std::string written = ReadFile(environment.config() / "salvora/config.ini");
    QVERIFY(written.find("keep=me") != std::string::npos);
    QVERIFY(written.find("Default=German") != std::string::npos);
    QCOMPARE(Msg("MSG0403"), QString("Hinweis"));
  }

  void everyLanguageHasEveryMessageWithItsPlaceholders() {
    QStringList files = LanguageFiles();
    QVERIFY(files.size() >= 2);
    QStringList usedByCode = KeysUsedByCode();
    QVERIFY(usedByCode.size() > 20);
    for (const QString& path : files) {
      IniDocument language = ReadLanguageFile(path);
      for (const QString& key : AllMessageKeys() + usedByCode)
        QVERIFY2(!language.Value("Messages", key.toStdString()).empty(),
                 qPrintable(path + " lacks " + key));
      auto fits = [&](const char* key, std::vector<MessageArg> args) {
        QVERIFY2(FormatChecked(language.Value("Messages", key), args),
                 qPrintable(path + ": placeholders of " + key));
      };
      fits("MSG0701", {'C'});
      fits("MSG0702", {3});
      fits("MSG1201", {'C'});
      fits("MSG1202", {3});
      fits("MSG0703", {"disk.img"});
      fits("MSG1203", {"disk.img"});
      fits("MSG1102", {1, 2, 3, 4});
      fits("MSG0804", {"1.00 KB", 2});
      fits("MSG2300", {1, uint64_t{2048}, uint64_t{4096}});
      fits("MSG2301", {25, uint64_t{7}});
      fits("MSG2302", {"card.img"});
      fits("MSG2303", {"card.img"});
    }
  }

  void everyTextBearingControlHasItsTextInEveryLanguage() {
    QDirIterator layouts(":/skin/ui", {"*.ui"});
    int checked = 0;
    while (layouts.hasNext()) {
      QString name = QFileInfo(layouts.next()).completeBaseName();
      QWidget host;
      QWidget* form = LoadSkin(name, &host);
      QString section = LanguageSectionOf(form);
      QVERIFY2(!section.isEmpty(), qPrintable(name + " names no language section"));
      for (QWidget* control : form->findChildren<QWidget*>()) {
        bool bearsText = qobject_cast<QLabel*>(control) ||
                         qobject_cast<QAbstractButton*>(control) ||
                         qobject_cast<QGroupBox*>(control);
        if (!bearsText || control->objectName().isEmpty() ||
            ShownText(form, control->objectName()).isEmpty())
          continue;
        for (const QString& path : LanguageFiles()) {
          ++checked;
          QVERIFY2(!ReadLanguageFile(path)
                        .Value(section.toStdString(), control->objectName().toStdString())
                        .empty(),
                   qPrintable(path + " [" + section + "] lacks " + control->objectName()));
        }
      }
    }
    QVERIFY(checked > 20);
  }

  void switchingLanguageRetextsEveryWindow() {
    AppEnvironment environment;
    RecordArena results;
    std::vector<std::unique_ptr<QWidget>> windows;
    windows.emplace_back(new CMainWnd);
    windows.emplace_back(new CScanProcessWnd({}, 0, nullptr));
    windows.emplace_back(new CSearchProcessWnd({}, "", results, nullptr));
    windows.emplace_back(new CRecoverProcessWnd({}, nullptr));
    windows.emplace_back(new CCreateImageProcessWnd({}, nullptr));
    windows.emplace_back(new CSavedScansWnd(nullptr));
    for (int kind = 0; kind <= 4; ++kind) windows.emplace_back(new CMessageBox(nullptr, kind, "x"));
    for (const char* language : {"German", "English"}) {
      LanguageStore::Instance().SetLanguage(language);
      for (auto& window : windows) {
        QWidget* form = window->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        if (auto* main = qobject_cast<CMainWnd*>(window.get()))
          form = main->centralWidget()->findChild<QWidget*>();
        QVERIFY(form);
        const IniPairs& texts = LanguageStore::Instance().Section(LanguageSectionOf(form));
        QVERIFY2(!texts.empty(), qPrintable(form->objectName()));
        for (const auto& [key, text] : texts) {
          QString shown = ShownText(form, QString::fromStdString(key));
          if (shown.startsWith("<no control")) continue;  // texts the code uses itself
          QCOMPARE(shown, QString::fromStdString(text));
        }
      }
    }
  }

 private:
  // Every message key that the window code names.
  static QStringList KeysUsedByCode() {
    QStringList keys;
    QDirIterator sources(QString(SALVORA_SOURCE_DIR) + "/src/app", {"*.cpp"});
    QRegularExpression pattern("\"(MSG\\d{4})\"");
    while (sources.hasNext()) {
      QFile file(sources.next());
      file.open(QIODevice::ReadOnly);
      auto matches = pattern.globalMatch(QString::fromUtf8(file.readAll()));
      while (matches.hasNext()) keys << matches.next().captured(1);
    }
    keys.removeDuplicates();
    return keys;
  }
};

QTEST_MAIN(LanguageFilesTest)
#include "LanguageFilesTest.moc"
