#include "app/PreviewPreparation.h"

#include <cstring>
#include <vector>

#include "app/RecordText.h"
#include "platform/ErrorCodes.h"
#include "previewclient/PreviewHelper.h"
#include "previewclient/TextView.h"
#include "results/TypeGroups.h"

namespace salvora {
namespace {

// The converter lists of the preview, tried in this order, each by a
// search of the extension inside the list's text.
const char kWordList[] = "*.doc|*.dot|*.docx|*.dotx|*.docm|*.dotm|*.rtf|*.odt";
const char kSlideList[] = "*.ppt|*.pptx|*.pptm|*.pps|*.ppsx|*.ppsm|*.odp";
const char kSheetList[] =
    "*.xls|*.xlsx|*.xlsm|*.csv|*.ods|*.odc|*.vsd|*.vsdm|*.vsdx|*.pub|*.mpp|*.ics|*.vcf|*.msg";
const char kArchiveList[] =
    "*.zip|*.rar|*.gzip|*.tar|*.7z|*.cab|*.arj|*.lzh|*.ace|*.gz|*.uue|*.bz2|*.jar|*.iso";

bool Listed(const char* list, const std::string& extension) {
  return std::strstr(list, extension.c_str()) != nullptr;
}

PreviewMode ModeOf(PreviewKind kind) {
  switch (kind) {
    case PreviewKind::kPicture:
      return PreviewMode::kPicture;
    case PreviewKind::kPdf:
      return PreviewMode::kPdf;
    case PreviewKind::kArchive:
      return PreviewMode::kList;
    default:
      return PreviewMode::kText;
  }
}

}  // namespace

PreviewKind PreviewKindOfName(const std::string& name) {
  std::string extension = LowerExtension(name);
  if (extension.empty()) return PreviewKind::kPicture;
  if (Listed(kAudioGroup, extension)) return PreviewKind::kAudio;
  if (Listed(kVideoGroup, extension)) return PreviewKind::kVideo;
  if (!Listed(kPreviewDocumentGroup, extension) && !Listed(kSheetList, extension))
    return PreviewKind::kPicture;
  if (Listed(kWordList, extension)) return PreviewKind::kWordText;
  if (Listed(kSlideList, extension)) return PreviewKind::kSlideText;
  if (Listed(kSheetList, extension)) return PreviewKind::kSheetText;
  if (extension == "pdf") return PreviewKind::kPdf;
  if (Listed(kArchiveList, extension)) return PreviewKind::kArchive;
  return PreviewKind::kPicture;
}

namespace {

int StorePercent(void* progress, int32_t percent, int32_t) {
  auto* shared = static_cast<PreviewProgress*>(progress);
  if (shared->cancel) return kCancelled;
  shared->percent = percent;
  return kOk;
}

// Makes the result from the extracted file or the bytes in memory.
PreviewResult Convert(const FoundRecord& record, const std::string& extracted,
                      const std::vector<uint8_t>& memory, PreviewProgress& progress,
                      const std::filesystem::path& pictureOut, bool& cancelled) {
  if (extracted.empty()) {
    if (memory.empty()) return {};
    return {PreviewResult::Kind::kText, {}, FormatTextView(memory)};
  }
  PreviewKind kind = PreviewKindOfName(RecordName(record).toStdString());
  if (kind == PreviewKind::kAudio || kind == PreviewKind::kVideo)
    return {kind == PreviewKind::kAudio ? PreviewResult::Kind::kAudio : PreviewResult::Kind::kVideo,
            extracted,
            {}};
  PreviewRequest request;
  request.mode = ModeOf(kind);
  request.file = extracted;
  request.pictureOut = pictureOut;
  request.cancel = &progress.cancel;
  PreviewOutcome outcome = RunPreviewHelper(request);
  cancelled = outcome.cancelled;
  if (outcome.cancelled) return {};
  if (!outcome.ok) return {PreviewResult::Kind::kText, {}, TextViewOfFile(extracted)};
  if (request.mode == PreviewMode::kPicture || request.mode == PreviewMode::kPdf)
    return {
        PreviewResult::Kind::kPicture, pictureOut.string(), {}, request.mode == PreviewMode::kPdf};
  return {PreviewResult::Kind::kText, {}, outcome.text};
}

}  // namespace

CopiedPreview CopyForPreview(const FoundRecord& record, IFileRecoveryParse* engine,
                             PreviewProgress& progress) {
  CopiedPreview copied;
  copied.memory.resize(kTextViewBytes);
  uint32_t size = static_cast<uint32_t>(copied.memory.size());
  int result = engine ? engine->ExtractForPreview(&record, copied.file, copied.memory.data(), size,
                                                  &StorePercent, &progress)
                      : kInvalidParameter;
  copied.memory.resize(std::min<size_t>(size, copied.memory.size()));
  copied.cancelled = result == kCancelled || progress.cancel;
  return copied;
}

PreparedPreview ConvertPreview(const FoundRecord& record, const CopiedPreview& copied,
                               PreviewProgress& progress, const std::filesystem::path& pictureOut) {
  PreparedPreview prepared;
  prepared.extracted = copied.file;
  prepared.cancelled = copied.cancelled;
  if (!prepared.cancelled)
    prepared.result =
        Convert(record, copied.file, copied.memory, progress, pictureOut, prepared.cancelled);
  bool media = prepared.result.kind == PreviewResult::Kind::kAudio ||
               prepared.result.kind == PreviewResult::Kind::kVideo;
  if (!media && !prepared.extracted.empty()) {
    // Converted already: a copy of a found file lingers nowhere.
    std::error_code ignored;
    std::filesystem::remove(prepared.extracted, ignored);
    prepared.extracted.clear();
  }
  return prepared;
}

}  // namespace salvora
