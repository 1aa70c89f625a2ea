#pragma once
// A QXmlStreamReader fed from a ChunkSource as it goes. The total input is
// capped, so a document part of absurd size ends like a damaged one; so is
// a single token (a start tag, a comment) that grows past kMaxTokenBytes:
// the reader scans an unfinished token again with every piece of input and
// checks each attribute against all before it, so the work of one huge
// token grows with the square of its size.
#include <QXmlStreamReader>
#include <cstddef>

#include "preview/ChunkSource.h"

namespace salvora::preview {

class StreamingXml {
 public:
  static constexpr size_t kMaxInputBytes = size_t{64} << 20;
  static constexpr size_t kMaxTokenBytes = size_t{256} << 10;

  explicit StreamingXml(ChunkSource& source) : source_(source) {}

  // Moves to the next token; false at the end of the document, on an XML
  // error, or when the input cap is reached.
  bool Next();

  QXmlStreamReader& reader() { return reader_; }
  bool IsStart(const char* localName) const {
    return reader_.isStartElement() && reader_.name() == QLatin1String(localName);
  }
  bool IsEnd(const char* localName) const {
    return reader_.isEndElement() && reader_.name() == QLatin1String(localName);
  }
  // An attribute by local name, whatever its namespace.
  QString Attribute(const char* localName) const;
  // An attribute by local name that has a namespace: r:id of an OOXML
  // element that also carries a plain id.
  QString PrefixedAttribute(const char* localName) const;

 private:
  bool Refill();

  ChunkSource& source_;
  QXmlStreamReader reader_;
  size_t consumed_ = 0;
  // Input added since the reader last completed a token.
  size_t pending_ = 0;
};

}  // namespace salvora::preview
