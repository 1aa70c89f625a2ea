#pragma once
// Runs `salvora-preview`, the helper process that decodes found files, under
// a time and memory limit. Everything in a found file is untrusted, so it is
// never decoded inside the program that holds the user's results. When the
// helper fails in any way the caller shows TextViewOfFile instead.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

namespace salvora {

enum class PreviewMode {
  kPicture,  // picture → PNG
  kPdf,      // first page of a PDF → PNG
  kList,     // listing of an archive → text
  kText,     // text of an office document → text
};

// The helper is killed after this long.
constexpr std::chrono::seconds kPreviewHelperTimeLimit{10};
// The helper's address-space limit.
constexpr uint64_t kPreviewHelperAddressSpace = uint64_t{1} << 30;

struct PreviewRequest {
  PreviewMode mode = PreviewMode::kText;
  std::filesystem::path file;
  // The PNG to write for kPicture and kPdf.
  std::filesystem::path pictureOut;
  // Set from another thread to stop the helper (the progress window's cancel).
  const std::atomic<bool>* cancel = nullptr;
  // The helper to run; empty finds it with PreviewHelperPath().
  std::filesystem::path helper;
  std::chrono::milliseconds timeLimit = kPreviewHelperTimeLimit;
};

struct PreviewOutcome {
  bool ok = false;
  bool cancelled = false;
  // The listing or document text (kList, kText), UTF-8.
  std::string text;
  // Why it failed, one line, for logs and tests.
  std::string failure;
};

// `salvora-preview` beside the running executable (build tree, or the
// installed bin folder), else the one on PATH; empty when there is none.
std::filesystem::path PreviewHelperPath();

// Runs the helper for one file. Returns ok only when it exited 0 (and, for
// pictures, wrote the PNG).
PreviewOutcome RunPreviewHelper(const PreviewRequest& request);

}  // namespace salvora
