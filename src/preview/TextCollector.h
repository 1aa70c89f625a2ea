#pragma once
// Text gathered from a document up to a number of characters (UTF-16 code
// units, as the office formats count them); further text is ignored.
#include <QString>
#include <QStringView>

namespace salvora::preview {

class TextCollector {
 public:
  explicit TextCollector(qsizetype maxChars) : maxChars_(maxChars) {}

  // Appends as much as fits, never half of a surrogate pair.
  void Append(QStringView text);
  // Ends a paragraph or line.
  void AppendBreak() { Append(u"\n"); }
  bool Full() const { return text_.size() >= maxChars_; }
  const QString& text() const { return text_; }

 private:
  qsizetype maxChars_;
  QString text_;
};

}  // namespace salvora::preview
