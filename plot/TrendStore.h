#pragma once
// Every sample of a trend at full resolution (for export), and what a view of
// a few thousand pixels needs of it: per quantity at most two points (the
// lowest and the highest) per pixel column, so a 24-hour run or an hour of
// the stream at line rate draws as fast as a minute of it.
#include <QPointF>

#include <vector>

#include "plot/TrendSample.h"

namespace calorix::plot {

// A stage change: the first sample with a new program or stage number.
struct StageMark {
  qint64 timeMs;
  int program;
  int stage;
  friend bool operator==(const StageMark&, const StageMark&) = default;
};

class TrendStore {
 public:
  // Samples come in time order; one stamped before the last (a clock set
  // back) is kept at the last one's time, so the views stay ordered.
  void append(Sample sample);
  void clear();

  const std::vector<Sample>& samples() const { return samples_; }
  const std::vector<StageMark>& stageMarks() const { return marks_; }
  bool empty() const { return samples_.empty(); }
  qint64 firstMs() const { return samples_.empty() ? 0 : samples_.front().timeMs; }
  qint64 lastMs() const { return samples_.empty() ? 0 : samples_.back().timeMs; }

  // The points of q between fromMs and toMs (x = ms since the epoch), at
  // most about 2 * columns of them: where more samples fall into one column
  // of the view, its lowest and highest value stand for them, in time order.
  // Absent values are skipped. The samples just outside the range are
  // included so a curve reaches the view's edges.
  std::vector<QPointF> view(Quantity q, qint64 fromMs, qint64 toMs, int columns) const;

  // The index of the last sample at or before timeMs (the first when none is).
  std::size_t indexAt(qint64 timeMs) const;

 private:
  std::vector<Sample> samples_;
  std::vector<StageMark> marks_;
};

}  // namespace calorix::plot
