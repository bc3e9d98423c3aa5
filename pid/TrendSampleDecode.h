#pragma once
// The frames the console already reads, as samples of the trend: a PID frame
// from the image of controller RAM that RdPidFrame leaves, a telemetry frame
// from its bytes. Plain functions: no widget, no link, no exchange.
#include "core/Clock.h"
#include "pid/PidFrameDecode.h"
#include "pid/StreamFrameDecode.h"
#include "plot/TrendSample.h"

namespace calorix::pid {

// The time a sample is stamped with: the local clock, as the logs stamp lines.
inline qint64 sampleTime(const Clock& clock) {
  return clock.localNow().toMSecsSinceEpoch();
}

// Every quantity of the trend, the program (0x7C) and the stage (0x7D) from a
// PID frame's RAM image; source tells which run read it.
plot::Sample pidFrameSample(const RamImage& ram, qint64 timeMs, plot::Source source);

// What a telemetry frame carries (registers 0x00..0x1F, RAM 0x60..0x142):
// everything but the heating speed at 0x174, which stays absent. The sign of
// the total action is the stream's own flag bit.
plot::Sample streamFrameSample(StreamFrame frame, qint64 timeMs);
plot::Sample streamRamSample(const RamImage& image, qint64 timeMs);

// One telemetry frame decoded once: the service area's fields, the eight
// texts of its data-log line (taken from those fields' texts) and its trend
// sample all come from this one value.
struct StreamReading {
  FieldTexts fields;
  std::array<QString, 8> logTexts;
  plot::Sample sample;
};
StreamReading readStreamFrame(StreamFrame frame, qint64 timeMs);

}  // namespace calorix::pid
