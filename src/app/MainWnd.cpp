#include "app/MainWnd.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include "app/AccessibleRows.h"
#include "app/AssistMenu.h"
#include "app/DiskListModel.h"
#include "app/FileListModel.h"
#include "app/FileTypeChoice.h"
#include "app/FolderTreeModel.h"
#include "app/ImageCreation.h"
#include "app/LanguageStore.h"
#include "app/MessageBox.h"
#include "app/OrderlyExit.h"
#include "app/PreviewSession.h"
#include "app/ProgressWnd.h"
#include "app/SearchBar.h"
#include "app/SizeBarDelegate.h"
#include "app/Skin.h"
#include "app/TypeTreePanel.h"

namespace salvora {
namespace {

struct ModeButton {
  const char* name;
  const char* infoKey;
  int workMode;
  int scanMode;  // -1 keeps the scan mode
  const char* icon;
};

const ModeButton kModes[] = {
    {"BtnDeletedRecovery", "MSG0101", CMainWnd::kRecovery, 0, ":/skin/icons/mode-deleted.svg"},
    {"BtnFormattedRecovery", "MSG0102", CMainWnd::kRecovery, 1, ":/skin/icons/mode-formatted.svg"},
    {"BtnDeepRecovery", "MSG0103", CMainWnd::kRecovery, 1, ":/skin/icons/mode-deep.svg"},
    {"BtnCreateImageMode", "MSG0104", CMainWnd::kImaging, -1, ":/skin/icons/mode-image.svg"},
};

}  // namespace

CMainWnd::CMainWnd(QWidget* parent) : QMainWindow(parent) {
  auto* host = new QWidget(this);
  form_ = LoadSkin("MainWnd", host);
  setCentralWidget(host);
  setWindowIcon(QIcon(":/skin/icons/salvora.svg"));
  BindControls();
  BindModes();
  BindDiskList();
  BindResults();
  BindCommands();
  exit_ = new OrderlyExit(this);
  connect(&LanguageStore::Instance(), &LanguageStore::Changed, this, &CMainWnd::Retext);
  Retext();
  RequestDiskList();
  WatchDevices();
  ShowPage(kModePage);
}

CMainWnd::~CMainWnd() {
  // The preview's worker reads through engines the disk list owns.
  previews_->Stop();
}

void CMainWnd::BindControls() {
  tabPage_ = Bind<QStackedWidget>(form_, "TabPage");
  diskList_ = Bind<QTreeView>(form_, "DiskList");
  fileList_ = Bind<QTreeView>(form_, "FileList");
  diskTree_ = Bind<QTreeView>(form_, "DiskTree");
  typeTreeWidget_ = Bind<QTreeWidget>(form_, "TypeTree");
  selectAll_ = Bind<QCheckBox>(form_, "ChkSelAll");
  selectedFileInfo_ = Bind<QLabel>(form_, "SelectedFileInfo");
  txt1_ = Bind<QLabel>(form_, "Txt1");
  // The step title stands out in the theme's own accent, which dark and
  // high-contrast themes keep readable, rather than in a fixed colour.
  QFont title = txt1_->font();
  title.setBold(true);
  txt1_->setFont(title);
  txt1_->setForegroundRole(QPalette::Link);
  txt2_ = Bind<QLabel>(form_, "Txt2");
  mainInfo_ = Bind<QLabel>(form_, "TxtMainInfo");
  previewEdit_ = Bind<QTextBrowser>(form_, "PreviewEdit");
  tabScan_ = Bind<QToolButton>(form_, "TabScan");
  tabFileType_ = Bind<QToolButton>(form_, "TabFileType");
  tabRecover_ = Bind<QToolButton>(form_, "TabRecover");
  btnScan_ = Bind<QPushButton>(form_, "BtnScan");
  btnAdvanceScan_ = Bind<QPushButton>(form_, "BtnAdvanceScan");
  btnLoadImage_ = Bind<QPushButton>(form_, "BtnLoadImage");
  btnRecover_ = Bind<QPushButton>(form_, "BtnRecover");
  btnCreateImage_ = Bind<QPushButton>(form_, "BtnCreateImage");
  for (QTreeView* rows : {diskList_, fileList_, static_cast<QTreeView*>(typeTreeWidget_)})
    ExposeRowsToAssistiveTechnology(rows);
  Bind<QLabel>(form_, "ToolBar2Logo")->setPixmap(QIcon(":/skin/icons/salvora.svg").pixmap(32, 32));
  Bind<QLabel>(form_, "LblProductName")->setText("Vornek Salvora");
  Bind<QPushButton>(form_, "BtnNext")->hide();
  // The disk list is what its page is for: Tab reaches it before the menu
  // and the step buttons.
  auto* menu = Bind<QToolButton>(form_, "BtnAssist");
  QWidget::setTabOrder(diskList_, menu);
  QWidget::setTabOrder(menu, tabScan_);
  QWidget::setTabOrder(tabScan_, tabFileType_);
  QWidget::setTabOrder(tabFileType_, tabRecover_);
}

void CMainWnd::BindModes() {
  for (const ModeButton& mode : kModes) {
    auto* button = Bind<QToolButton>(form_, mode.name);
    button->setIcon(QIcon(mode.icon));
    button->installEventFilter(this);
    connect(button, &QToolButton::clicked, this, [this, mode] {
      ChooseMode(mode.workMode, mode.scanMode < 0 ? scanMode_ : mode.scanMode);
    });
  }
  connect(tabScan_, &QToolButton::clicked, this, [this] { ShowPage(kDiskPage); });
  connect(tabFileType_, &QToolButton::clicked, this, [this] { ShowPage(kTypePage); });
  connect(tabRecover_, &QToolButton::clicked, this, [this] { ShowPage(kResultPage); });
  connect(Bind<QPushButton>(form_, "BtnPrev"), &QPushButton::clicked, this, &CMainWnd::GoBack);
  connect(Bind<QPushButton>(form_, "BtnNext"), &QPushButton::clicked, this, &CMainWnd::GoNext);
}

void CMainWnd::BindCommands() {
  connect(btnScan_, &QPushButton::clicked, this, &CMainWnd::Scan);
  connect(btnAdvanceScan_, &QPushButton::clicked, this, [this] { ShowPage(kTypePage); });
  connect(btnLoadImage_, &QPushButton::clicked, this, &CMainWnd::LoadImage);
  connect(btnRecover_, &QPushButton::clicked, this, &CMainWnd::Recover);
  connect(btnCreateImage_, &QPushButton::clicked, this, [this] { StartImaging(*this); });
  new AssistMenu(Bind<QToolButton>(form_, "BtnAssist"), this);
  // Keys for the commands used most; each acts only where its button does.
  auto pressWhenShown = [this](QAbstractButton* button) {
    return [button] {
      if (button->isVisible() && button->isEnabled()) button->click();
    };
  };
  new QShortcut(QKeySequence::Open, this, pressWhenShown(btnLoadImage_));
  new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this, pressWhenShown(btnRecover_));
  new QShortcut(QKeySequence(Qt::Key_F5), this, [this] {
    if (CurrentPage() == kDiskPage) RequestDiskList();
  });
}

bool CMainWnd::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Enter || event->type() == QEvent::FocusIn) {
    for (const ModeButton& mode : kModes)
      if (watched->objectName() == QLatin1String(mode.name)) mainInfo_->setText(Msg(mode.infoKey));
  }
  return QMainWindow::eventFilter(watched, event);
}

void CMainWnd::closeEvent(QCloseEvent* event) {
  ProgressWnd* running = nullptr;
  for (ProgressWnd* work : findChildren<ProgressWnd*>())
    if (work->IsWorking()) running = work;
  if (!running || exit_->Begun()) {
    QMainWindow::closeEvent(event);
    return;
  }
  event->ignore();
  if (running->AskToStop()) exit_->Begin();
}

void CMainWnd::ChooseMode(int workMode, int scanMode) {
  workMode_ = workMode;
  scanMode_ = scanMode;
  QModelIndex images = disks_->ImageHeader();
  if (images.isValid()) diskList_->setRowHidden(images.row(), {}, workMode_ == kImaging);
  QModelIndex first = handedImage_;
  handedImage_ = QPersistentModelIndex();
  if (!first.isValid() || workMode != kRecovery) first = disks_->FirstRemovablePartition();
  if (!first.isValid() && disks_->rowCount() > 0 && disks_->rowCount(disks_->index(0, 0)) > 0)
    first = disks_->index(0, 0, disks_->index(0, 0));
  if (first.isValid()) SelectSourceRow(first);
  for (const ModeButton& mode : kModes)
    if (mode.workMode == workMode_ && (mode.scanMode < 0 || mode.scanMode == scanMode_))
      tabScan_->setIcon(QIcon(mode.icon));
  ShowPage(kDiskPage);
}

int CMainWnd::CurrentPage() const { return tabPage_->currentIndex(); }

void CMainWnd::ShowPage(int page) {
  tabPage_->setCurrentIndex(page);
  bool recovery = workMode_ == kRecovery;
  bool choosing = page == kModePage;
  for (const char* bar : {"ToolBar2", "ToolBar3", "ToolBtn", "Txt1", "Txt2", "SubBar2"})
    Bind<QWidget>(form_, bar)->setVisible(!choosing);
  Bind<QWidget>(form_, "SubBar1")->setVisible(choosing);
  btnRecover_->setVisible(page == kResultPage);
  selectedFileInfo_->setVisible(page == kResultPage);
  btnScan_->setVisible((page == kDiskPage && recovery) || page == kTypePage);
  btnAdvanceScan_->setVisible(page == kDiskPage && recovery);
  btnLoadImage_->setVisible(page == kDiskPage && recovery);
  btnCreateImage_->setVisible(page == kDiskPage && !recovery);
  tabFileType_->setVisible(recovery);
  tabRecover_->setVisible(recovery);
  tabScan_->setChecked(page == kDiskPage);
  tabFileType_->setChecked(page == kTypePage);
  tabRecover_->setChecked(page == kResultPage);
  // The keyboard follows to the page's list, not to a button now hidden.
  if (page == kDiskPage) diskList_->setFocus(Qt::OtherFocusReason);
  ApplyPageTexts();
}

void CMainWnd::GoBack() {
  int page = CurrentPage();
  if (page == kModePage) return;
  if (page == kResultPage && !typeScan_) page = kTypePage;
  ShowPage(page - 1);
}

void CMainWnd::GoNext() {
  switch (CurrentPage()) {
    case kModePage:
      ShowPage(kDiskPage);
      break;
    case kDiskPage:
      if (btnScan_->isEnabled() && sourceSelected_) {
        ShowPage(kTypePage);
      } else {
        CMessageBox::Show(this, CMessageBox::kInformation,
                          LanguageStore::Instance().Text("MainWnd", "SelectMediaFirst"), 300, 160);
      }
      break;
    case kTypePage:
      ShowPage(kResultPage);
      break;
    default:
      break;
  }
}

void CMainWnd::ApplyPageTexts() {
  bool imaging = workMode_ == kImaging;
  tabScan_->setText(Msg(imaging ? "MSG0213" : "MSG0503"));
  switch (CurrentPage()) {
    case kDiskPage:
      txt1_->setText(Msg(imaging ? "MSG0211" : "MSG0501"));
      txt2_->setText(Msg(imaging ? "MSG0212" : "MSG0502"));
      break;
    case kTypePage:
      txt1_->setText(Msg("MSG0601"));
      txt2_->setText(Msg("MSG0602"));
      break;
    case kResultPage:
      txt1_->setText(Msg("MSG0801"));
      txt2_->setText(Msg("MSG0802"));
      break;
    default:
      break;
  }
}

void CMainWnd::Retext() {
  ApplyTexts(form_);
  Bind<QLabel>(form_, "LblProductName")->setText("Vornek Salvora");
  disks_->Retext();
  files_->Retext();
  typeTree_->Retext();
  searchBar_->Retext();
  ApplyPageTexts();
  UpdateSummary();
  FillInformation(SelectedDiskRow());
}

void CMainWnd::OfferImageForScan(const std::string& imagePath) {
  ChooseMode(kRecovery, 1);
  SelectSourceRow(AddImageSource(imagePath));
  ShowPage(kTypePage);
}

void CMainWnd::TakeArguments(const QStringList& arguments) {
  QModelIndex first;
  for (const QString& argument : arguments) {
    QFileInfo file(argument);
    if (argument.startsWith('-') || !file.isFile()) continue;
    QModelIndex row = AddImageSource(file.absoluteFilePath().toStdString());
    if (!first.isValid()) first = row;
  }
  // The user still chooses how to scan it: a mode kept from earlier could
  // start a slow deep scan nobody asked for. The mode button then keeps
  // the image selected.
  if (first.isValid() && !scanning_) {
    handedImage_ = first;
    ShowPage(kModePage);
  }
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  show();
  raise();
  activateWindow();
}

}  // namespace salvora
