#include "preview/DocumentXmlText.h"

#include <algorithm>

#include "preview/StreamingXml.h"

namespace salvora::preview {
namespace {

// The most spaces one text:s element may stand for.
constexpr int kMaxSpaceRun = 256;

}  // namespace

void AppendOoxmlText(ChunkSource& part, TextCollector& out) {
  StreamingXml xml(part);
  bool inRun = false;
  int tabStopDepth = 0;  // w:tabs holds tab stop definitions, not tab characters
  while (!out.Full() && xml.Next()) {
    if (xml.IsStart("t")) {
      inRun = true;
    } else if (xml.IsEnd("t")) {
      inRun = false;
    } else if (xml.IsStart("tabs")) {
      ++tabStopDepth;
    } else if (xml.IsEnd("tabs")) {
      --tabStopDepth;
    } else if (xml.IsStart("tab") && tabStopDepth == 0) {
      out.Append(u"\t");
    } else if (xml.IsStart("br") || xml.IsStart("cr")) {
      out.AppendBreak();
    } else if (xml.IsEnd("p")) {
      out.AppendBreak();
    } else if (inRun && xml.reader().isCharacters()) {
      out.Append(xml.reader().text());
    }
  }
}

void AppendOdfText(ChunkSource& content, TextCollector& out, int maxPages) {
  StreamingXml xml(content);
  int paragraphDepth = 0;
  int skippedDepth = 0;  // inside annotations or speaker notes
  int pagesDone = 0;
  while (!out.Full() && xml.Next()) {
    if (xml.IsStart("annotation") || xml.IsStart("notes")) {
      ++skippedDepth;
    } else if (xml.IsEnd("annotation") || xml.IsEnd("notes")) {
      --skippedDepth;
    } else if (xml.IsEnd("page") && maxPages > 0 && ++pagesDone == maxPages) {
      return;
    } else if (skippedDepth > 0) {
      continue;
    } else if (xml.IsStart("p") || xml.IsStart("h")) {
      ++paragraphDepth;
    } else if ((xml.IsEnd("p") || xml.IsEnd("h")) && paragraphDepth > 0) {
      --paragraphDepth;
      out.AppendBreak();
    } else if (paragraphDepth == 0) {
      continue;
    } else if (xml.IsStart("s")) {
      int count = xml.Attribute("c").toInt();
      out.Append(QString(std::clamp(count, 1, kMaxSpaceRun), u' '));
    } else if (xml.IsStart("tab")) {
      out.Append(u"\t");
    } else if (xml.IsStart("line-break")) {
      out.AppendBreak();
    } else if (xml.reader().isCharacters()) {
      out.Append(xml.reader().text());
    }
  }
}

}  // namespace salvora::preview
