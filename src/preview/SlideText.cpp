#include "preview/SlideText.h"

#include <QString>
#include <QStringList>
#include <cstdint>

#include "preview/CompoundFile.h"
#include "preview/DocumentKind.h"

namespace salvora::preview {
namespace {

constexpr size_t kRecordHeaderBytes = 8;
// Records nest a few levels in real files; deeper nesting is damage.
constexpr int kMaxDepth = 32;
constexpr size_t kMaxStreamBytes = size_t{64} << 20;

constexpr uint16_t kTextCharsAtom = 0x0FA0;  // UTF-16LE
constexpr uint16_t kTextBytesAtom = 0x0FA8;  // one byte a character (Latin-1)
constexpr uint16_t kMainMaster = 0x03F8;
constexpr uint16_t kNotes = 0x03F0;
constexpr uint16_t kHandout = 0x0FC9;
constexpr uint16_t kSlideListWithText = 0x0FF0;
constexpr uint16_t kSlidesInstance = 0;
constexpr uint16_t kSlide = 0x03EE;
// Starts the text of the next slide inside a slide list.
constexpr uint16_t kSlidePersistAtom = 0x03F3;

struct RecordHeader {
  uint16_t version;
  uint16_t instance;
  uint16_t type;
  uint32_t length;
  bool IsContainer() const { return version == 0xF; }
};

RecordHeader ReadRecordHeader(std::string_view bytes) {
  auto byte = [&](size_t i) { return uint32_t{static_cast<uint8_t>(bytes[i])}; };
  uint16_t versionAndInstance = static_cast<uint16_t>(byte(0) | byte(1) << 8);
  return {static_cast<uint16_t>(versionAndInstance & 0xF),
          static_cast<uint16_t>(versionAndInstance >> 4), static_cast<uint16_t>(byte(2) | byte(3) << 8),
          byte(4) | byte(5) << 8 | byte(6) << 16 | byte(7) << 24};
}

bool Skipped(const RecordHeader& header) {
  return header.type == kMainMaster || header.type == kNotes || header.type == kHandout ||
         (header.type == kSlideListWithText && header.instance != kSlidesInstance);
}

QString AtomText(const RecordHeader& header, std::string_view body) {
  if (header.type == kTextBytesAtom)
    return QString::fromLatin1(body.data(), static_cast<qsizetype>(body.size()));
  QString text(static_cast<qsizetype>(body.size() / 2), Qt::Uninitialized);
  for (qsizetype i = 0; i < text.size(); ++i)
    text[i] = QChar(static_cast<char16_t>(static_cast<uint8_t>(body[2 * i]) |
                                          static_cast<uint8_t>(body[2 * i + 1]) << 8));
  return text;
}

class AtomWalk {
 public:
  explicit AtomWalk(TextCollector& out) : out_(out) {}

  void Walk(std::string_view records, int depth) {
    while (records.size() >= kRecordHeaderBytes && !out_.Full()) {
      RecordHeader header = ReadRecordHeader(records);
      std::string_view body = records.substr(kRecordHeaderBytes);
      // A record longer than what holds it is cut to it.
      body = body.substr(0, std::min<size_t>(header.length, body.size()));
      records.remove_prefix(kRecordHeaderBytes + body.size());
      if (Skipped(header)) continue;
      if (header.type == kSlide && ++slides_ > kSlideCount) continue;
      if (header.type == kSlidePersistAtom) ++listedSlides_;
      if (header.IsContainer() && depth < kMaxDepth) {
        if (header.type == kSlideListWithText) listedSlides_ = 0;
        Walk(body, depth + 1);
        if (header.type == kSlideListWithText) listedSlides_ = 0;
      } else if ((header.type == kTextCharsAtom || header.type == kTextBytesAtom) &&
                 listedSlides_ <= kSlideCount) {
        Paragraphs(AtomText(header, body));
      }
    }
  }

 private:
  // Paragraphs end with a carriage return inside an atom; a vertical tab is
  // a line break.
  void Paragraphs(QString text) {
    text.replace(u'\v', u'\n');
    for (const QString& paragraph : text.split(u'\r')) {
      if (paragraph.trimmed().isEmpty()) continue;
      out_.Append(paragraph);
      out_.AppendBreak();
    }
  }

  TextCollector& out_;
  // Slide containers met so far, and slides of the slide list being read:
  // only the first kSlideCount of each show.
  int slides_ = 0;
  int listedSlides_ = 0;
};

}  // namespace

void AppendSlideText(std::string_view stream, TextCollector& out) { AtomWalk(out).Walk(stream, 0); }

HelperResult PresentationText(std::string_view file) {
  std::optional<std::string> stream = ReadCompoundStream(file, u"PowerPoint Document", kMaxStreamBytes);
  if (!stream) return HelperResult::Failure("not a PowerPoint presentation");
  TextCollector out(kSlideTextChars);
  AppendSlideText(*stream, out);
  if (out.text().trimmed().isEmpty()) return HelperResult::Failure("the presentation holds no text");
  return HelperResult::Success(out.text().toStdString());
}

}  // namespace salvora::preview
