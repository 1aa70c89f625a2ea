#pragma once
// One running window per user. The first start listens on a per-user local
// socket; a later start hands its arguments (image files to add) to it and
// exits, and the running window comes to the front.
#include <QLocalServer>
#include <QObject>
#include <QStringList>

namespace salvora {

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  enum class Outcome {
    kFirst,      // nobody else runs: this process listens now
    kHandedOver, // the running instance took the arguments
    kNoAnswer,   // something runs but did not answer within a second
  };

  // `name` is the socket's name; the default is per user.
  explicit SingleInstance(QString name = DefaultName());
  static QString DefaultName();

  // Hands `arguments` to a running instance, or becomes the one that runs.
  Outcome Start(const QStringList& arguments);

 signals:
  // A later start handed over its arguments.
  void ArgumentsReceived(const QStringList& arguments);

 private:
  Outcome HandOver(const QStringList& arguments);
  bool Listen();
  void Accept();

  QString name_;
  QLocalServer server_;
};

}  // namespace salvora
