#include "app/SingleInstance.h"

#include <QDataStream>
#include <QDir>
#include <QIODevice>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QStringList>

namespace salvora {
namespace {

constexpr int kAnswerMs = 1000;
constexpr char kAcknowledge = 'k';
// A hand-over larger than this is not ours.
constexpr qint64 kMaxMessageBytes = 1 << 20;

}  // namespace

SingleInstance::SingleInstance(QString name) : name_(std::move(name)) {
  connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::Accept);
}

QString SingleInstance::DefaultName() {
  // Tests run instances beside the user's own under a name of their own.
  QString chosen = qEnvironmentVariable("SALVORA_INSTANCE_NAME");
  if (!chosen.isEmpty()) return chosen;
  // The user's own runtime folder (mode 0700), never the shared /tmp where
  // another local user could take the name first and block every start.
  QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (runtime.isEmpty()) return {};
  return QDir(runtime).filePath(QStringLiteral("salvora-gui.socket"));
}

SingleInstance::Outcome SingleInstance::Start(const QStringList& arguments) {
  // Without a private place for the socket each start runs on its own.
  if (name_.isEmpty()) return Outcome::kFirst;
  Outcome outcome = HandOver(arguments);
  if (outcome != Outcome::kFirst) return outcome;
  return Listen() ? Outcome::kFirst : Outcome::kNoAnswer;
}

SingleInstance::Outcome SingleInstance::HandOver(const QStringList& arguments) {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(kAnswerMs)) return Outcome::kFirst;
  QByteArray message;
  QDataStream packer(&message, QIODevice::WriteOnly);
  packer << arguments;
  QDataStream out(&socket);
  out << message;
  socket.flush();
  while (socket.bytesAvailable() < 1)
    if (!socket.waitForReadyRead(kAnswerMs)) return Outcome::kNoAnswer;
  char answer = 0;
  socket.getChar(&answer);
  return answer == kAcknowledge ? Outcome::kHandedOver : Outcome::kNoAnswer;
}

bool SingleInstance::Listen() {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (server_.listen(name_)) return true;
  // A socket left by a crashed instance: nobody answered on it above.
  QLocalServer::removeServer(name_);
  return server_.listen(name_);
}

void SingleInstance::Accept() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
      QDataStream stream(socket);
      stream.startTransaction();
      QByteArray message;
      stream >> message;
      if (!stream.commitTransaction()) {
        if (socket->bytesAvailable() > kMaxMessageBytes) socket->abort();
        return;
      }
      QStringList arguments;
      QDataStream unpacker(message);
      unpacker >> arguments;
      socket->putChar(kAcknowledge);
      socket->flush();
      emit ArgumentsReceived(arguments);
    });
  }
}

}  // namespace salvora
