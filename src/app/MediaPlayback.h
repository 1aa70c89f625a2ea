#pragma once
// Audio and video previews play in an external player (mpv, else ffplay).
// A watcher thread reads the player's output: a player that ends without
// ever saying it plays has failed, and the user is told. The player is
// ended by the process id held here, never by its name, when the next
// preview starts and when the program ends.
#include <QObject>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class QWidget;

namespace salvora {

class ChildProcess;

class MediaPlayback : public QObject {
  Q_OBJECT

 public:
  explicit MediaPlayback(QWidget* owner);
  ~MediaPlayback() override;

  // Plays `file`, ending the player an earlier call started.
  void Play(const std::string& file, bool audio);
  // Ends the player, if one runs.
  void Stop();
  // The running player's process id, or 0.
  int PlayerPid() const;

  // Tests choose the player and give it null outputs.
  void UsePlayer(std::string program, std::vector<std::string> extraArgs);

 signals:
  // The player ended without playing (the user has been told).
  void Failed();

 private:
  void Watch(std::string marker);

  QWidget* owner_;
  std::string program_;
  std::vector<std::string> extraArgs_;
  std::unique_ptr<ChildProcess> player_;
  std::thread watcher_;
  std::atomic<bool> stop_{false};
};

}  // namespace salvora
