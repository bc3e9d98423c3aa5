#pragma once
// The telemetry stream of the main window's "P/B" key: once the controller
// has been told to output its RAM, P/B makes it send a 262-byte frame every
// cycle; the stream reads each frame in three parts (header, register block,
// RAM block), shows it in the service area's fields and appends one line to
// the data log, letting window events run between its reads, until ВЫКЛ
// НАГРЕВ (or the closing of the main window) ends it.
//
// It runs inside the P/B handler, which holds the exchange guard for the whole
// stream: nothing else reaches the wire until it has ended. It owns the
// stream's flags (RamOutEnabled, StopHeatRequest) and counts its frames in
// WorkCounter; it reaches the main window only through the StreamView it is
// given, and the service area reaches it through its StreamKeys.
#include <QColor>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>

#include "core/ControllerMap.h"
#include "pid/RunLog.h"
#include "pid/RunReport.h"
#include "ui/StreamView.h"
#include "ui/TrendFeed.h"
#include "ui/WindowContext.h"

namespace calorix {

class TelemetryStream : public QObject {
  Q_OBJECT
 public:
  // Shape_Sp while waiting for a header and after a frame; from the header
  // until the frame is complete; once the stream has ended.
  static inline const QColor kWaitingColor{255, 255, 0};
  static inline const QColor kReadingColor{255, 0, 0};
  static inline const QColor kEndedColor{0, 255, 0};

  // How the last stream went: its frames and the host time of its steps.
  struct Figures {
    int framesRead = 0;    // complete frames
    int framesShown = 0;   // decoded into the fields
    int framesLogged = 0;  // lines written to the data log
    qint64 waitNs = 0;     // header reads: mostly waiting for the next frame
    qint64 readNs = 0;     // the two block reads
    qint64 decodeNs = 0;
    qint64 showNs = 0;  // the fields and the measurement number
    qint64 logNs = 0;
  };

  // How a stream ended.
  enum class End {
    Stopped,         // after a complete frame, on ВЫКЛ НАГРЕВ or the window closing
    StoppedWaiting,  // the same while no frame came: the waiting read timed out
    ShortBlock,      // a block came back with part of its bytes
    NoLine,          // the port took no key code: nothing could come back
    LineLost,        // the port went away during the stream
    Refused,         // not started: a heating run shares the line
  };

  TelemetryStream(WindowContext& context, RunState& state, StreamView view,
                  QObject* parent = nullptr);

  // What the service area's keys forward here.
  StreamKeys keys();

  // "P/B" with RamOutEnabled 1: runs the stream until it ends. The caller
  // holds the exchange guard. A data log that cannot be created refuses the
  // start with AbortAction before anything is sent; one that cannot be
  // written is told once and the stream goes on without it.
  End run();
  // ВЫКЛ НАГРЕВ: the stream ends after its next complete frame (or when the
  // read that waits for one times out). Exchanges nothing.
  void requestStop() { state_.StopHeatRequest = 1; }
  // "Разрешение вывода ОЗУ (PID)": the RAM-output key code, and the stream
  // possible (or no longer). The caller holds the exchange guard.
  void switchRamOutput();

  bool running() const { return running_; }
  // The main window is closing: the stream ends at its next look at the stop
  // request, as ВЫКЛ НАГРЕВ would end it.
  void requestEnd() { endRequested_ = true; }

  const Figures& figures() const { return figures_; }

  // Every complete frame goes to the trend as well.
  void setTrendFeed(TrendFeed feed) { trend_ = std::move(feed); }

  // Shown instead of starting while a Пуск or PID run is on: its PID frames
  // would come down the same line.
  static QString runActiveText();
  // Told once when the port goes away during the stream, which then ends.
  static QString lineLostText();

 signals:
  // A stream has ended (emitted before run() returns, the guard still held).
  void ended();

 private:
  enum class Read { Whole, Nothing, Short };

  End loop();
  Read readPart(int offset, int count, bool block);
  void showAndLog();
  void finish(bool stopController);
  bool endWanted() const;

  WindowContext& ctx_;
  RunState& state_;
  StreamView view_;
  RunReport report_;
  RunLog log_;
  std::array<std::uint8_t, ctl::streamFrame::kBytes> frame_{};
  Figures figures_;
  TrendFeed trend_;
  bool running_ = false;
  bool endRequested_ = false;
};

}  // namespace calorix
