#include "app/ImageCreation.h"

#include <QDir>
#include <QFileDialog>
#include <QThread>
#include <QTreeView>
#include <filesystem>

#include "app/CreateImageProcessWnd.h"
#include "app/DiskListModel.h"
#include "app/LanguageStore.h"
#include "app/MainWnd.h"
#include "app/MessageBox.h"
#include "imaging/ImageTargetCheck.h"
#include "platform/ErrorCodes.h"
#include "storage/DiskHelpers.h"

namespace salvora {
namespace fs = std::filesystem;
namespace {

struct ImagingSource {
  ImageJob job;
  ImageSourceInfo info;
  QString defaultName;
};

// What the selected row copies; false when no row is selected.
bool SourceOfRow(DiskListModel& disks, const QModelIndex& row, ImagingSource& source) {
  if (DiskListItem* item = disks.ItemAt(row)) {
    if (!item->record) return false;
    const PartitionRecord& r = *item->record;
    source.job.source = r;
    source.job.diskPath = r.diskPath;
    source.info.devicePath = r.devicePath;
    source.info.sizeBytes = r.totalBytes;
    source.defaultName =
        QStringLiteral("%1 (%2, %3)")
            .arg(r.ordinal)
            .arg(QString::fromStdString(r.fileSystemName),
                 QString::fromStdString(FormatSize(static_cast<int64_t>(r.totalBytes))));
    return true;
  }
  if (!disks.IsDiskHeader(row)) return false;
  int32_t disk = disks.DiskNumberAt(row);
  std::vector<DiskListItem*> entries = disks.SourcesAt(row);
  if (disk < 0 || entries.empty() || !entries.front()->record) return false;
  source.job.diskNumber = disk;
  source.job.diskPath = entries.front()->record->diskPath;
  source.info.devicePath = entries.front()->record->diskPath;
  DiskLength(static_cast<uint32_t>(disk), source.info.sizeBytes);
  source.defaultName =
      LanguageStore::Instance().FormatIn("MainWnd", "PhysicalDiskName", {disk + 1});
  return true;
}

// What else the window reads: every image file of the list, and the
// devices whose found files are listed.
void NoteSourcesInUse(const DiskListModel& disks, ImageSourceInfo& info) {
  for (const DiskListItem* item : disks.AllItems()) {
    if (item->IsImage()) {
      info.filesInUse.push_back(item->imagePath);
    } else if (std::error_code ignored; fs::is_regular_file(item->record->devicePath, ignored)) {
      info.filesInUse.push_back(item->record->devicePath);  // an entry of a whole-disk image
    } else if (item->engine) {
      info.devicesInUse.push_back(item->record->devicePath);
    }
  }
}

const char* MessageOf(TargetProblem problem) {
  switch (problem) {
    case TargetProblem::kOnSourceDisk:
      return "MSG0218";
    case TargetProblem::kFat32Limit:
      return "MSG0220";
    case TargetProblem::kFatLimit:
      return "MSG0219";
    case TargetProblem::kNoSpace:
      return "MSG0221";
    default:
      return nullptr;
  }
}

// Asks for the target until one passes the checks; empty when the user
// gave up.
QString AskTarget(CMainWnd& window, const ImagingSource& source) {
  LanguageStore& texts = LanguageStore::Instance();
  QString suggestion = QDir::home().filePath(source.defaultName + ".img");
  for (;;) {
    QFileDialog dialog(&window, QString(), suggestion, texts.Text("MainWnd", "ImageFilter"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("img");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    QString target = dialog.selectedFiles().front();
    std::string reason;
    TargetProblem problem = CheckImageTarget(source.info, target.toStdString(), reason);
    if (problem == TargetProblem::kNone) return target;
    const char* key = MessageOf(problem);
    CMessageBox::Show(&window, CMessageBox::kInformation,
                      key ? Msg(key) : QString::fromStdString(reason), 300, 160);
    suggestion = target;
  }
}

}  // namespace

void StartImaging(CMainWnd& window) {
  auto* list = window.findChild<QTreeView*>("DiskList");
  QModelIndex row = list->currentIndex();
  row = row.sibling(row.row(), 0);
  ImagingSource source;
  if (!row.isValid() || !SourceOfRow(window.Disks(), row, source)) {
    CMessageBox::Show(&window, CMessageBox::kInformation, Msg("MSG0216"), 400, 160);
    return;
  }
  NoteSourcesInUse(window.Disks(), source.info);
  QString target = AskTarget(window, source);
  if (target.isEmpty()) return;
  source.job.target = target.toStdString();
  CCreateImageProcessWnd progress(source.job, &window);
  int code = progress.Run();
  if (code == ProgressWnd::kClosedFailed) {
    QThread::msleep(100);
    CMessageBox::Show(
        &window, CMessageBox::kInformation,
        Msg("MSG0217") + "\n\n" + QString::fromStdString(ErrorMessage(progress.Result())), 300,
        160);
    // What a failed copy left is no image of the source: "ready" would be
    // a failure shown as success.
    return;
  }
  // A copy stopped before its first block leaves no file to scan.
  std::error_code missing;
  if (!std::filesystem::exists(source.job.target, missing)) return;
  if (CMessageBox::Show(&window, CMessageBox::kQuestion, Msg("MSG0214"), 400, 160) !=
      CMessageBox::kOk)
    return;
  window.OfferImageForScan(source.job.target);
}

}  // namespace salvora
