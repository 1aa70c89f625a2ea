#include "app/support/AppTestSupport.h"

#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>
#include <filesystem>

#include "app/DiskListModel.h"
#include "app/LanguageStore.h"
#include "app/MainWnd.h"
#include "app/MessageBox.h"

namespace salvora::test {

AppEnvironment::AppEnvironment() {
  previousConfig_ = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config_.path()));
  LanguageStore::Instance().Load();
}

AppEnvironment::~AppEnvironment() {
  qputenv("XDG_CONFIG_HOME", previousConfig_);
  LanguageStore::Instance().Load();
}

BoxAnswerer::BoxAnswerer(std::function<int(int, const QString&)> answer, int delayMs)
    : answer_(std::move(answer)), delayMs_(delayMs) {
  connect(&timer_, &QTimer::timeout, this, &BoxAnswerer::Poll);
  timer_.start(20);
}

void BoxAnswerer::Poll() {
  auto* box = qobject_cast<CMessageBox*>(QApplication::activeModalWidget());
  if (!box || !box->isVisible()) return;
  if (seen_ != box) {
    seen_ = box;
    shown_.start();
  }
  if (shown_.elapsed() < delayMs_) return;
  seen_ = nullptr;
  QString text = box->findChild<QWidget*>("text")->property("text").toString();
  texts_ << text;
  int answer = answer_(box->Kind(), text);
  box->findChild<QPushButton*>(answer == CMessageBox::kOk ? "okbtn" : "cancelbtn")->click();
}

FileDialogAnswerer::FileDialogAnswerer(QStringList paths) : paths_(std::move(paths)) {
  connect(&timer_, &QTimer::timeout, this, &FileDialogAnswerer::Poll);
  timer_.start(20);
  connect(&confirmTimer_, &QTimer::timeout, this, &FileDialogAnswerer::ConfirmReplace);
  confirmTimer_.start(20);
}

void FileDialogAnswerer::ConfirmReplace() {
  auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (question && question->button(QMessageBox::Yes)) question->button(QMessageBox::Yes)->click();
}

void FileDialogAnswerer::Poll() {
  auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
  if (!dialog || !dialog->isVisible() || paths_.isEmpty()) return;
  QString path = paths_.takeFirst();
  ++answered_;
  if (path.isEmpty()) {
    dialog->reject();
    return;
  }
  if (dialog->fileMode() == QFileDialog::Directory) {
    // A folder is taken as the dialog's current folder: a name typed into
    // the dialog resolves against a folder list that loads in the
    // background, and could still name its parent.
    dialog->setDirectory(path);
    dialog->selectFile(QString());
  } else {
    dialog->selectFile(path);
  }
  QMetaObject::invokeMethod(dialog, "accept");
}

RecoveryFinisher::RecoveryFinisher() {
  connect(&timer_, &QTimer::timeout, this, [] {
    QWidget* window = QApplication::activeModalWidget();
    auto* finish = window ? window->findChild<QPushButton*>("FinishBtn") : nullptr;
    if (finish && finish->isVisible()) finish->click();
  });
  timer_.start(20);
}

DeletedFilesImage MakeFatImageWithDeletedFiles(const TempDir& dir, const std::string& name,
                                               const std::map<std::string, std::string>& files,
                                               const std::vector<std::string>& toDelete,
                                               int megabytes) {
  DeletedFilesImage made;
  made.image = dir / name;
  std::string mtools = "MTOOLS_SKIP_CHECK=1 ";
  Run("mkfs.fat -C -F 32 -n CARD " + Quote(made.image) + " " + std::to_string(megabytes * 1024) +
      " >/dev/null");
  std::string staged = dir / (name + ".files");
  for (const auto& [volumePath, content] : files) {
    std::filesystem::path local = std::filesystem::path(staged) / volumePath;
    std::filesystem::create_directories(local.parent_path());
    WriteFile(local.string(), content);
  }
  // mcopy -s copies the staged tree with its folders in one go.
  Run(mtools + "mcopy -s -i " + Quote(made.image) + " " + Quote(staged) + "/* ::/");
  for (const std::string& path : toDelete) {
    Run(mtools + "mdel -i " + Quote(made.image) + " " + Quote("::/" + path));
    made.deleted[path] = files.at(path);
  }
  return made;
}

// Engines hide pictures whose content does not check out, so tests use
// real ones.
std::string MakeJpeg(const TempDir& dir, int width, int height, const std::string& seed) {
  std::string path = dir / ("picture-" + seed + ".jpg");
  Run("convert -size " + std::to_string(width) + "x" + std::to_string(height) + " -seed " + seed +
      " plasma:fractal -quality 85 " + Quote(path));
  return ReadFile(path);
}

DeletedFilesImage MakeSampleCard(const TempDir& dir, const std::string& name) {
  std::map<std::string, std::string> files = {
      {"DCIM/Holiday photo.jpg", MakeJpeg(dir, 400, 300, "1")},
      {"DCIM/Beach sunset.jpg", MakeJpeg(dir, 320, 240, "2")},
      {"Trip/Holiday photo.jpg", MakeJpeg(dir, 360, 200, "3")},
      {"Docs/Meeting notes.txt", std::string(5000, 'n')},
      {"Music/Theme song.rm", ".RMF" + PseudoRandomBytes(40000, 4)},
      {"Keep me.bin", PseudoRandomBytes(30000, 5)},
  };
  return MakeFatImageWithDeletedFiles(
      dir, name, files,
      {"DCIM/Holiday photo.jpg", "DCIM/Beach sunset.jpg", "Trip/Holiday photo.jpg",
       "Docs/Meeting notes.txt", "Music/Theme song.rm"});
}

DeletedFilesImage MakeNtfsImageWithDeletedFiles(const TempDir& dir,
                                                const std::map<std::string, std::string>& files,
                                                const std::vector<std::string>& toDelete,
                                                std::string& skipReason) {
  DeletedFilesImage made;
  if (!IsRoot() || ::access("/dev/fuse", R_OK | W_OK) != 0 || !HaveCommand("ntfs-3g")) {
    skipReason = "writing an NTFS image needs root, /dev/fuse and ntfs-3g";
    return made;
  }
  made.image = dir / "ntfs.img";
  std::string mount = dir / "mnt";
  std::filesystem::create_directories(mount);
  Run("truncate -s 48M " + Quote(made.image) + " && mkntfs -F -Q -q " + Quote(made.image));
  if (Run("ntfs-3g " + Quote(made.image) + " " + Quote(mount)) != 0) {
    skipReason = "ntfs-3g could not mount the image";
    return made;
  }
  for (const auto& [volumePath, content] : files) {
    std::filesystem::path local = std::filesystem::path(mount) / volumePath;
    std::filesystem::create_directories(local.parent_path());
    WriteFile(local.string(), content);
  }
  for (const std::string& path : toDelete) {
    std::filesystem::remove(std::filesystem::path(mount) / path);
    made.deleted[path] = files.at(path);
  }
  Run("umount " + Quote(mount));
  return made;
}

std::string MakeZip(const TempDir& dir) {
  std::string folder = dir / "zipped";
  std::filesystem::create_directories(folder);
  WriteFile(folder + "/alpha-notes.txt", "alpha");
  WriteFile(folder + "/beta-figures.csv", "1,2,3");
  Run("cd " + Quote(folder) + " && zip -q ../bundle.zip alpha-notes.txt beta-figures.csv");
  return ReadFile(dir / "bundle.zip");
}

void OpenOn(CMainWnd& window, const std::string& image, const char* mode) {
  window.show();
  window.TakeArguments({QString::fromStdString(image)});
  window.findChild<QAbstractButton*>(mode)->click();
  QModelIndex header = window.Disks().ImageHeader();
  window.findChild<QTreeView*>("DiskList")->setCurrentIndex(window.Disks().index(0, 0, header));
}

std::map<std::string, std::string> FilesUnder(const std::string& folder) {
  std::map<std::string, std::string> files;
  if (!std::filesystem::exists(folder)) return files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      files[std::filesystem::relative(entry.path(), folder).string()] =
          ReadFile(entry.path().string());
  return files;
}

std::vector<FoundRecord> WholeRecords(const RecordArena& records) {
  std::vector<FoundRecord> whole;
  for (uint32_t i = 0; i < records.Size(); ++i) whole.push_back(records.Full(i));
  return whole;
}

}  // namespace salvora::test
