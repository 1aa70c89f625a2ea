#include "app/PreviewProcessWnd.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <cstring>
#include <filesystem>

#include "app/LanguageStore.h"
#include "app/RecordText.h"
#include "platform/DataFolders.h"
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

CPreviewProcessWnd::CPreviewProcessWnd(const FoundRecord& record, IFileRecoveryParse* engine,
                                       QWidget* owner)
    : ProgressWnd("PreviewProcessWnd", QSize(370, 220), owner),
      record_(record),
      engine_(engine),
      fileName_(Control<QLabel>("FileName")),
      stage_(Control<QLabel>("stage")),
      percentText_(Control<QLabel>("percent")),
      progress_(Control<QProgressBar>("progress")) {
  // Found names come from the disk: never read as markup.
  fileName_->setTextFormat(Qt::PlainText);
  stage_->setTextFormat(Qt::PlainText);
  connect(Control<QPushButton>("CancelBtn"), &QPushButton::clicked, this,
          &CPreviewProcessWnd::AskToCancel);
}

int CPreviewProcessWnd::OnExtract(void* window, int32_t percent, int32_t) {
  auto* self = static_cast<CPreviewProcessWnd*>(window);
  return self->StorePercent(percent, self->percent_);
}

void CPreviewProcessWnd::Work() {
  std::vector<uint8_t> memory(kTextViewBytes);
  uint32_t size = static_cast<uint32_t>(memory.size());
  int result = engine_ ? engine_->ExtractForPreview(&record_, extracted_, memory.data(), size,
                                                    &CPreviewProcessWnd::OnExtract, this)
                       : kInvalidParameter;
  if (result == kCancelled || CancelRequested()) {
    EndWork(kClosedCancelled);
    return;
  }
  memory.resize(std::min<size_t>(size, memory.size()));
  Convert(memory);
  EndWork(CancelRequested() ? kClosedCancelled : kClosedNormally);
}

void CPreviewProcessWnd::Convert(const std::vector<uint8_t>& memory) {
  if (extracted_.empty()) {
    if (!memory.empty()) result_ = {PreviewResult::Kind::kText, {}, FormatTextView(memory)};
    return;
  }
  PreviewKind kind = PreviewKindOfName(RecordName(record_).toStdString());
  if (kind == PreviewKind::kAudio || kind == PreviewKind::kVideo) {
    result_.kind =
        kind == PreviewKind::kAudio ? PreviewResult::Kind::kAudio : PreviewResult::Kind::kVideo;
    result_.file = extracted_;
    return;
  }
  PreviewRequest request;
  request.mode = ModeOf(kind);
  request.file = extracted_;
  request.pictureOut = PreviewFolder() / "preview.png";
  request.cancel = &helperCancel_;
  PreviewOutcome outcome = RunPreviewHelper(request);
  if (outcome.cancelled) return;
  if (!outcome.ok) {
    result_ = {PreviewResult::Kind::kText, {}, TextViewOfFile(extracted_)};
  } else if (request.mode == PreviewMode::kPicture || request.mode == PreviewMode::kPdf) {
    result_ = {PreviewResult::Kind::kPicture,
               request.pictureOut.string(),
               {},
               request.mode == PreviewMode::kPdf};
  } else {
    result_ = {PreviewResult::Kind::kText, {}, outcome.text};
  }
}

void CPreviewProcessWnd::ShowFigures() {
  QString name = RecordName(record_);
  fileName_->setText(name);
  stage_->setText(Msg("MSG0902") + " " + name);
  percentText_->setText(QStringLiteral("%1 %2%").arg(Msg("MSG0901")).arg(percent_));
  progress_->setValue(percent_);
}

}  // namespace salvora
