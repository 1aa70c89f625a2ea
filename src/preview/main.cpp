// salvora-preview: decodes one found file for the preview, in a process of
// its own so that a hostile or damaged file can only harm this process.
//
//   salvora-preview picture FILE OUT.png   the picture as PNG
//   salvora-preview pdf FILE OUT.png       page 1 of a PDF as PNG
//   salvora-preview list FILE              the listing of an archive
//   salvora-preview text FILE              the text of an office document
//
// Exit 0 on success; otherwise one line on stderr saying why, and exit 1.
#include <QtGlobal>
#include <cstdio>
#include <string>

#include "preview/ArchiveListing.h"
#include "preview/DocumentText.h"
#include "preview/PdfFirstPage.h"
#include "preview/PictureToPng.h"

namespace {

using salvora::preview::HelperResult;

constexpr const char* kUsage =
    "usage: salvora-preview picture FILE OUT.png | pdf FILE OUT.png | list FILE | text FILE";

HelperResult RunCommand(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  using namespace salvora::preview;
  if (argc == 4 && command == "picture") return ConvertPictureToPng(argv[2], argv[3]);
  if (argc == 4 && command == "pdf") return RenderPdfFirstPage(argv[2], argv[3]);
  if (argc == 3 && command == "list") return ListArchive(ArchiveSource::File(argv[2]));
  if (argc == 3 && command == "text") return ExtractDocumentText(argv[2]);
  return HelperResult::Failure(kUsage);
}

// Qt's image readers warn about damaged data on stderr, which is the
// helper's one-line failure channel; damage is normal here.
void DropQtMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

int main(int argc, char** argv) {
  qInstallMessageHandler(DropQtMessage);
  HelperResult result = RunCommand(argc, argv);
  if (!result.ok) {
    std::string line = result.failure.substr(0, result.failure.find('\n'));
    std::fprintf(stderr, "salvora-preview: %s\n", line.c_str());
    return 1;
  }
  std::fwrite(result.text.data(), 1, result.text.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
