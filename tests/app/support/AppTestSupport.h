#pragma once
// What the window tests share: a private configuration and data folder,
// answers to the message boxes the windows ask, and volumes made by the
// real tools with files deleted from them.
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "results/RecordArena.h"
#include "support/TestSupport.h"

namespace salvora::test {

// Points the configuration and data folders at temporary ones and reloads
// the language store (English).
class AppEnvironment {
 public:
  AppEnvironment();
  ~AppEnvironment();
  const TempDir& config() const { return config_; }

 private:
  TempDir config_;
  ScopedDataDir data_;
  QByteArray previousConfig_;
};

// Answers every message box that opens while it lives, `delayMs` after it
// shows: `answer(kind, text)` gives 1 (okbtn) or 2 (cancelbtn). The texts
// asked are kept.
class BoxAnswerer : public QObject {
  Q_OBJECT

 public:
  explicit BoxAnswerer(std::function<int(int kind, const QString& text)> answer, int delayMs = 0);
  const QStringList& Texts() const { return texts_; }

 private:
  void Poll();

  std::function<int(int, const QString&)> answer_;
  int delayMs_;
  QTimer timer_;
  QObject* seen_ = nullptr;
  QElapsedTimer shown_;
  QStringList texts_;
};

// A FAT32 image made by mkfs.fat and mtools with deleted files: the image
// path and every deleted file's content by its path on the volume.
struct DeletedFilesImage {
  std::string image;
  std::map<std::string, std::string> deleted;  // "photos/a.jpg" -> bytes
};

// Writes `files` (volume path -> content; folders are made), then deletes
// the ones listed in `toDelete`, on a new FAT32 image of `megabytes`.
DeletedFilesImage MakeFatImageWithDeletedFiles(const TempDir& dir, const std::string& name,
                                               const std::map<std::string, std::string>& files,
                                               const std::vector<std::string>& toDelete,
                                               int megabytes = 40);

// The same on an NTFS image made by mkntfs and written through an ntfs-3g
// mount; `skipReason` says why that cannot be done here.
DeletedFilesImage MakeNtfsImageWithDeletedFiles(const TempDir& dir,
                                                const std::map<std::string, std::string>& files,
                                                const std::vector<std::string>& toDelete,
                                                std::string& skipReason);

// A real JPEG picture made by ImageMagick.
std::string MakeJpeg(const TempDir& dir, int width, int height, const std::string& seed);
// The bytes of a zip made by zip(1) holding alpha-notes.txt and
// beta-figures.csv.
std::string MakeZip(const TempDir& dir);

// A ready-made card: photos in two folders (two of them named "Holiday
// photo.jpg"), a document and a song, all deleted, and a live file.
DeletedFilesImage MakeSampleCard(const TempDir& dir, const std::string& name = "card.img");

// Every regular file under `folder` by its path relative to it.
std::map<std::string, std::string> FilesUnder(const std::string& folder);

// The records of a collection, whole, in its order.
std::vector<FoundRecord> WholeRecords(const RecordArena& records);

}  // namespace salvora::test

namespace salvora::test {

// Answers the next file dialog that opens with `path` (or cancels it when
// `path` is empty).
class FileDialogAnswerer : public QObject {
  Q_OBJECT

 public:
  explicit FileDialogAnswerer(QStringList paths);
  int Answered() const { return answered_; }

 private:
  void Poll();
  // Says yes when the dialog asks whether to replace a named file; its own
  // timer, since the question runs inside the dialog's accept.
  void ConfirmReplace();

  QStringList paths_;
  QTimer timer_;
  QTimer confirmTimer_;
  int answered_ = 0;
};

}  // namespace salvora::test

namespace salvora::test {

// Presses Finish in every recovery window that ends while it lives.
class RecoveryFinisher : public QObject {
  Q_OBJECT

 public:
  RecoveryFinisher();

 private:
  QTimer timer_;
};

}  // namespace salvora::test

namespace salvora {
class CMainWnd;
}

namespace salvora::test {

// The main window on the disk page with `image` (the first image added)
// selected, after a click on the mode button `mode`.
void OpenOn(CMainWnd& window, const std::string& image, const char* mode);

}  // namespace salvora::test
