#include "preview/SvgDocument.h"

#include <archive.h>
#include <archive_entry.h>

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>

#include "preview/ArchiveSource.h"
#include "preview/PngOutput.h"
#include "preview/StreamingXml.h"
#include "previewclient/PreviewLimits.h"

namespace salvora::preview {
namespace {

// Drawings beyond this are not previewed (compressed or not).
constexpr qint64 kMaxSvgBytes = qint64{16} << 20;

bool Gzipped(const QByteArray& bytes) { return bytes.startsWith("\x1f\x8b"); }

bool Gunzip(const QByteArray& packed, QByteArray* unpacked) {
  ArchivePtr reader = NewArchiveReader();
  archive_read_support_filter_gzip(reader.get());
  archive_read_support_format_raw(reader.get());
  archive_entry* entry = nullptr;
  if (archive_read_open_memory(reader.get(), packed.constData(), static_cast<size_t>(packed.size())) !=
          ARCHIVE_OK ||
      archive_read_next_header(reader.get(), &entry) != ARCHIVE_OK)
    return false;
  char chunk[64 * 1024];
  unpacked->clear();
  for (;;) {
    la_ssize_t got = archive_read_data(reader.get(), chunk, sizeof chunk);
    if (got < 0 || unpacked->size() + got > kMaxSvgBytes) return false;
    if (got == 0) return true;
    unpacked->append(chunk, static_cast<qsizetype>(got));
  }
}

bool StaysInside(QStringView reference) {
  reference = reference.trimmed();
  return reference.startsWith(u'#') || reference.startsWith(u"data:", Qt::CaseInsensitive);
}

// Text in an SVG asks Qt's font database, which exists only with a
// QGuiApplication; the offscreen platform gives one without a display. It
// lives until the process ends.
void EnsureFontDatabase() {
  if (QGuiApplication::instance()) return;
  static int argc = 1;
  static char name[] = "salvora-preview";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication* application = new QGuiApplication(argc, argv);
  (void)application;
}

}  // namespace

std::string SvgProblem(const QByteArray& svg) {
  MemoryChunkSource source(std::string_view(svg.constData(), static_cast<size_t>(svg.size())));
  StreamingXml xml(source);
  while (xml.Next()) {
    if (!xml.reader().isStartElement()) continue;
    for (const QXmlStreamAttribute& attribute : xml.reader().attributes())
      if (attribute.name() == u"href" && !StaysInside(attribute.value()))
        return "the SVG refers to something outside itself: " +
               attribute.value().left(200).toString().toStdString();
  }
  // The drawing is parsed again to be drawn: what the bounded reader
  // cannot finish would cost the drawing as much.
  if (xml.reader().tokenType() != QXmlStreamReader::EndDocument)
    return "the SVG is damaged or too complex to draw";
  return {};
}

HelperResult ReadSelfContainedSvg(const std::string& path, QByteArray* svg) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return HelperResult::Failure("cannot open the picture");
  *svg = file.read(kMaxSvgBytes + 1);
  if (svg->size() > kMaxSvgBytes) return HelperResult::Failure("the SVG is too large to preview");
  if (Gzipped(*svg) && !Gunzip(QByteArray(*svg), svg))
    return HelperResult::Failure("the compressed SVG cannot be unpacked within the preview's limits");
  std::string problem = SvgProblem(*svg);
  return problem.empty() ? HelperResult::Success() : HelperResult::Failure(problem);
}

HelperResult RenderSvg(QByteArray svg, QIODevice& png) {
  EnsureFontDatabase();
  QBuffer buffer(&svg);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "svg");
  QSize size = reader.size();
  if (!size.isValid() || size.isEmpty()) return HelperResult::Failure("the SVG has no size");
  reader.setScaledSize(FitWithin(size, kPreviewPictureSide));
  QImage image;
  if (!reader.read(&image))
    return HelperResult::Failure("cannot draw the SVG: " + reader.errorString().toStdString());
  return SavePng(image, png);
}

}  // namespace salvora::preview
