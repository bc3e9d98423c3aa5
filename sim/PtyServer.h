#pragma once
// Serves a Controller on a pseudo-terminal, in real time, on a thread of its
// own: the console (or any serial program) opens the slave side as if it were
// the controller's port. The server keeps a slave descriptor open itself, so
// the console may close and reopen the port without ending the server.
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "core/Clock.h"
#include "sim/Controller.h"
#include "sim/Furnace.h"

namespace calorix::sim {

class PtyServer {
 public:
  PtyServer() = default;
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Opens the pty pair (raw, 8 bits), makes the optional symlink to the slave
  // and starts serving. False with a message in error when anything fails.
  bool start(Controller& controller, const QString& linkPath = {}, QString* error = nullptr);
  QString slavePath() const { return slavePath_; }
  bool running() const { return running_; }
  // Ends the thread, closes the pty and removes the symlink.
  void stop();
  // Runs f on the controller while the server thread keeps off it.
  void inspect(const std::function<void(Controller&)>& f);

 private:
  void loop();

  // The controller's time: it goes on while the server is stopped, as a
  // controller's does while its line is pulled, so a restart serves on.
  RealClock clock_;
  Controller* controller_ = nullptr;
  int master_ = -1;
  int slave_ = -1;
  QString slavePath_;
  QString linkPath_;
  std::atomic<bool> running_{false};
  std::mutex mutex_;
  std::thread thread_;
};

struct SimulatorOptions {
  double simSpeed = 1.0;
  QString statePath;  // loaded at start when it exists, saved by saveState()
  qint64 cycleMs = 4000;
  // One telemetry frame per period while the stream is on; at least
  // kLineRateTelemetryMs, the line rate.
  qint64 telemetryPeriodMs = 500;
  FurnaceParams furnace;
};

// The emulator behind `calorix --simulate`: a Controller with the furnace
// firmware served on a pty.
class InProcessSimulator {
 public:
  explicit InProcessSimulator(const SimulatorOptions& options);
  ~InProcessSimulator();
  QString slavePath() const { return server_.slavePath(); }
  PtyServer& server() { return server_; }
  // Writes the memories to the state file, if one was given.
  bool saveState(QString* error = nullptr);

 private:
  friend std::unique_ptr<InProcessSimulator> startInProcessSimulator(const SimulatorOptions&,
                                                                     QString*);
  SimulatorOptions options_;
  std::unique_ptr<Controller> controller_;
  PtyServer server_;
};

// Null with a message in error when the telemetry period is faster than the
// line, the state file is corrupt or the pty cannot be opened.
std::unique_ptr<InProcessSimulator> startInProcessSimulator(const SimulatorOptions& options,
                                                            QString* error = nullptr);

}  // namespace calorix::sim
