// salvora-preview: decodes one found file for the preview, in a process of
// its own so that a hostile or damaged file can only harm this process.
//
//   salvora-preview picture FILE OUT.png   the picture as PNG
//   salvora-preview pdf FILE OUT.png       page 1 of a PDF as PNG
//   salvora-preview list FILE              the listing of an archive
//   salvora-preview text FILE              the text of an office document
//
// Exit 0 on success; otherwise one line on stderr saying why, and exit 1.
#include <fcntl.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

#include <QtGlobal>
#include <cstdint>
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

// libpng, libtiff and poppler also write to stderr directly. Standard error
// is pointed at /dev/null for them; the returned descriptor is the real one,
// kept for the one line this program says.
int SilenceLibraryMessages() {
  int reasons = fcntl(2, F_DUPFD_CLOEXEC, 3);
  int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (reasons < 0 || devNull < 0) return 2;
  dup2(devNull, 2);
  close(devNull);
#if defined(__SANITIZE_ADDRESS__)
  // Sanitizer reports of a test build still reach the caller.
  __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(reasons)));
#endif
  return reasons;
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// Leaks inside the system's font configuration, which poppler loads, are not
// ours to fix and would turn every PDF preview of a test build into a failure.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
#endif

int main(int argc, char** argv) {
  qInstallMessageHandler(DropQtMessage);
  int reasons = SilenceLibraryMessages();
  HelperResult result = RunCommand(argc, argv);
  if (!result.ok) {
    std::string line = "salvora-preview: " + result.failure.substr(0, result.failure.find('\n')) + "\n";
    ssize_t ignored = write(reasons, line.data(), line.size());
    (void)ignored;
    return 1;
  }
  std::fwrite(result.text.data(), 1, result.text.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
