#include "preview/StreamingXml.h"

namespace salvora::preview {

bool StreamingXml::Refill() {
  char chunk[64 * 1024];
  if (consumed_ >= kMaxInputBytes || pending_ >= kMaxTokenBytes) return false;
  size_t got = source_.Read(chunk, sizeof chunk);
  if (got == 0) return false;
  consumed_ += got;
  pending_ += got;
  reader_.addData(QByteArray(chunk, static_cast<qsizetype>(got)));
  return true;
}

bool StreamingXml::Next() {
  for (;;) {
    QXmlStreamReader::TokenType token = reader_.readNext();
    if (token == QXmlStreamReader::EndDocument) return false;
    if (token != QXmlStreamReader::Invalid) {
      pending_ = 0;
      return true;
    }
    if (reader_.error() != QXmlStreamReader::PrematureEndOfDocumentError || !Refill()) return false;
  }
}

QString StreamingXml::Attribute(const char* localName) const {
  for (const QXmlStreamAttribute& attribute : reader_.attributes())
    if (attribute.name() == QLatin1String(localName)) return attribute.value().toString();
  return {};
}

QString StreamingXml::PrefixedAttribute(const char* localName) const {
  for (const QXmlStreamAttribute& attribute : reader_.attributes())
    if (attribute.name() == QLatin1String(localName) && !attribute.namespaceUri().isEmpty())
      return attribute.value().toString();
  return {};
}

}  // namespace salvora::preview
