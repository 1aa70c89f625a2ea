#pragma once
// The preview window: copies a found file out through the engine that found
// it and, on the same worker, has the preview helper turn it into something
// to show. Found files are untrusted, so nothing of their content is decoded
// in this process: the helper runs under a time and memory limit, and when
// it fails the first bytes are shown as text instead.
#include <atomic>
#include <string>
#include <vector>

#include "app/ProgressWnd.h"
#include "results/FoundRecord.h"
#include "storage/IFileRecoveryParse.h"

class QLabel;
class QProgressBar;

namespace salvora {

// What a preview came to.
struct PreviewResult {
  enum class Kind { kNothing, kPicture, kText, kAudio, kVideo };
  Kind kind = Kind::kNothing;
  std::string file;  // the PNG to show (kPicture) or the media to play
  std::string text;  // UTF-8 (kText)
  bool page = false;  // a document's page, read across its width (kPicture)
};

class CPreviewProcessWnd : public ProgressWnd {
  Q_OBJECT

 public:
  CPreviewProcessWnd(const FoundRecord& record, IFileRecoveryParse* engine, QWidget* owner);

  const PreviewResult& Result() const { return result_; }
  // The file the extraction wrote (to be removed before the next preview).
  const std::string& ExtractedFile() const { return extracted_; }

  static int OnExtract(void* window, int32_t percent, int32_t errorCode);

 private:
  void Work() override;
  void ShowFigures() override;
  const char* CancelQuestionKey() const override { return "MSG0903"; }
  void OnCancelConfirmed() override { helperCancel_ = true; }

  // Makes the result from the extracted file or the bytes in memory.
  void Convert(const std::vector<uint8_t>& memory);

  FoundRecord record_;
  IFileRecoveryParse* engine_;
  std::string extracted_;
  PreviewResult result_;
  std::atomic<bool> helperCancel_{false};
  int32_t percent_ = 0;  // under lock_

  QLabel* fileName_;
  QLabel* stage_;
  QLabel* percentText_;
  QProgressBar* progress_;
};

// How the preview treats a file of this name: its converter, or media.
enum class PreviewKind { kPicture, kWordText, kSheetText, kSlideText, kPdf, kArchive, kAudio, kVideo };
PreviewKind PreviewKindOfName(const std::string& name);

}  // namespace salvora
