#pragma once
// Preparing one found file for its preview, on a worker thread: it is
// copied out through the engine that found it and the preview helper turns
// it into something to show. Found files are untrusted, so nothing of their
// content is decoded in this process: the helper runs under a time and
// memory limit, and when it fails the first bytes are shown as text instead.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "results/FoundRecord.h"
#include "storage/IFileRecoveryParse.h"

namespace salvora {

// What a preview came to.
struct PreviewResult {
  enum class Kind { kNothing, kPicture, kText, kAudio, kVideo };
  Kind kind = Kind::kNothing;
  std::string file;   // the PNG to show (kPicture) or the media to play
  std::string text;   // UTF-8 (kText)
  bool page = false;  // a document's page, read across its width (kPicture)
};

// Shared by the thread that asks and the worker that prepares.
struct PreviewProgress {
  std::atomic<bool> cancel{false};
  std::atomic<int32_t> percent{0};
};

struct PreparedPreview {
  PreviewResult result;
  // The copy the engine wrote; the media player plays it, anything else
  // has been converted and the copy removed already.
  std::string extracted;
  bool cancelled = false;
};

// What the engine copied out: a file, or the first bytes in memory.
struct CopiedPreview {
  std::string file;
  std::vector<uint8_t> memory;
  bool cancelled = false;
};

// The two steps, each on the calling thread; `progress.cancel`, set from
// another thread, stops either. The copy reads through the engine; the
// conversion runs the helper, writes the picture, if any, to `pictureOut`
// and removes the copy unless it is media to play.
CopiedPreview CopyForPreview(const FoundRecord& record, IFileRecoveryParse* engine,
                             PreviewProgress& progress);
PreparedPreview ConvertPreview(const FoundRecord& record, const CopiedPreview& copied,
                               PreviewProgress& progress, const std::filesystem::path& pictureOut);

// How the preview treats a file of this name: its converter, or media.
enum class PreviewKind {
  kPicture,
  kWordText,
  kSheetText,
  kSlideText,
  kPdf,
  kArchive,
  kAudio,
  kVideo
};
PreviewKind PreviewKindOfName(const std::string& name);

}  // namespace salvora
