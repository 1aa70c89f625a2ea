// salvora-preview: decodes one found file for the preview, in a process of
// its own so that a hostile or damaged file can only harm this process.
//
//   salvora-preview picture FILE OUT.png   the picture as PNG
//   salvora-preview pdf FILE OUT.png       page 1 of a PDF as PNG
//   salvora-preview list FILE              the listing of an archive
//   salvora-preview text FILE              the text of an office document
//
// Exit 0 on success; otherwise one line on stderr saying why, and exit 1.
// Before it reads the file it confines itself (platform/Sandbox.h).
#include <fcntl.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

#include <QFile>
#include <QtGlobal>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Sandbox.h"

#include "preview/ArchiveListing.h"
#include "preview/DocumentText.h"
#include "preview/PdfFirstPage.h"
#include "preview/PictureToPng.h"

namespace {

using salvora::preview::HelperResult;

constexpr const char* kUsage =
    "usage: salvora-preview picture FILE OUT.png | pdf FILE OUT.png | list FILE | text FILE";

// Libraries that keep caches (fontconfig) put them under the home and cache
// folders; pointing both at a file that cannot hold a folder leaves them
// working from memory. Returns the real home, which is made read-only.
std::string KeepCachesOutOfHome() {
  const char* home = std::getenv("HOME");
  std::string realHome = home ? home : "";
  setenv("HOME", "/dev/null", 1);
  setenv("XDG_CACHE_HOME", "/dev/null", 1);
  return realHome;
}

HelperResult RunCommand(int argc, char** argv, const std::string& home) {
  std::string command = argc > 1 ? argv[1] : "";
  bool writesPicture = argc == 4 && (command == "picture" || command == "pdf");
  bool writesText = argc == 3 && (command == "list" || command == "text");
  if (!writesPicture && !writesText) return HelperResult::Failure(kUsage);
  // The picture is the one file the helper writes: it is opened before the
  // home folder becomes read-only.
  QFile png(QString::fromStdString(writesPicture ? argv[3] : ""));
  if (writesPicture && !png.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return HelperResult::Failure("cannot write " + std::string(argv[3]));
  salvora::ConfineProcess(home);
  using namespace salvora::preview;
  if (command == "picture") return ConvertPictureToPng(argv[2], png);
  if (command == "pdf") return RenderPdfFirstPage(argv[2], png);
  if (command == "list") return ListArchive(ArchiveSource::File(argv[2]));
  return ExtractDocumentText(argv[2]);
}

// Where the one line saying why the helper failed goes.
int reasonsFd = 2;

void SayWhy(const std::string& reason) {
  std::string line = "salvora-preview: " + reason.substr(0, reason.find('\n')) + "\n";
  ssize_t ignored = write(reasonsFd, line.data(), line.size());
  (void)ignored;
}

// Qt's image readers warn about damaged data on stderr, which is the
// helper's one-line failure channel; damage is normal here. A fatal
// message ends the process right after this, and is its reason.
void DropQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtFatalMsg) SayWhy(message.toStdString());
}

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
  reasonsFd = SilenceLibraryMessages();
  qInstallMessageHandler(DropQtMessage);
  // Names inside archives are converted to UTF-8 through the locale's
  // character set; the plain C locale would turn every non-ASCII name blank.
  std::setlocale(LC_CTYPE, "C.UTF-8");
  HelperResult result = RunCommand(argc, argv, KeepCachesOutOfHome());
  if (!result.ok) {
    SayWhy(result.failure);
    return 1;
  }
  std::fwrite(result.text.data(), 1, result.text.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
