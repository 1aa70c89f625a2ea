#include "preview/LegacyOffice.h"

#include "platform/ExecutableSearch.h"
#include "platform/RunProcess.h"
#include "preview/CsvCells.h"
#include "preview/TextCollector.h"

namespace salvora::preview {
namespace {

// Inside the helper's own ten seconds.
constexpr std::chrono::seconds kConverterTimeLimit{8};
constexpr size_t kConverterOutputLimit = 4 << 20;

struct Converter {
  const char* program;
  std::vector<std::string> options;
};

Converter ConverterFor(DocumentKind kind) {
  switch (kind) {
    case DocumentKind::kSheet:
      return {"xls2csv", {"-d", "utf-8"}};
    case DocumentKind::kSlides:
      return {"catppt", {"-d", "utf-8"}};
    default:
      break;
  }
  // -w: paragraphs on one line each, not wrapped at 72 columns.
  return {"catdoc", {"-d", "utf-8", "-w"}};
}

QString FirstCharacters(const std::string& text, qsizetype count) {
  TextCollector out(count);
  out.Append(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  return out.text();
}

}  // namespace

HelperResult LegacyOfficeText(const std::string& path, DocumentKind kind) {
  Converter converter = ConverterFor(kind);
  std::filesystem::path program = FindOnPath(converter.program);
  if (program.empty())
    return HelperResult::Failure(std::string(converter.program) +
                                 " is not installed (Debian package catdoc)");
  ProcessRequest request;
  request.program = program.string();
  request.args = converter.options;
  request.args.push_back(path);
  request.timeLimit = kConverterTimeLimit;
  request.outputLimit = kConverterOutputLimit;
  // In the helper's group: ending the helper's group must end it too.
  request.ownProcessGroup = false;
  ProcessResult result = RunProcess(request);
  if (!result.ExitedWith(0))
    return HelperResult::Failure(std::string(converter.program) + ": " +
                                 DescribeProcessEnd(result, request));

  QString text;
  if (kind == DocumentKind::kSheet) {
    // xls2csv ends each worksheet with a form feed; the first one is shown.
    text = ReadCsvCells(std::string_view(result.out).substr(0, result.out.find('\f'))).Format();
  } else {
    text = FirstCharacters(result.out,
                           kind == DocumentKind::kSlides ? kSlideTextChars : kWordTextChars);
  }
  if (text.trimmed().isEmpty())
    return HelperResult::Failure(std::string(converter.program) + " found no text");
  return HelperResult::Success(text.toStdString());
}

}  // namespace salvora::preview
