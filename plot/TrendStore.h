#pragma once
// Every sample of a trend at full resolution (for export), kept compactly,
// and what a view of a few thousand pixels needs of it.
//
// Storage: a column of 32-bit words per quantity that has had a value (a
// quantity a source never carries costs nothing; an absent value costs its
// word), the time as 32-bit milliseconds from a base, and the program, stage
// and source as runs of equal values: about 4 bytes a quantity a sample plus
// 4. Values go in and come out as the same doubles (plot/ValueWord.h).
//
// Views: per quantity a pyramid of block extremes (plot/Extremes.h), so the
// lowest and highest point of every pixel column of any range costs in
// proportion to the pixels, not the samples: a day of the stream at line
// rate draws as fast as a minute of it.
#include <QPointF>

#include <array>
#include <iterator>
#include <memory>
#include <vector>

#include "plot/Chunked.h"
#include "plot/Extremes.h"
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
  TrendStore();
  ~TrendStore();
  TrendStore(TrendStore&&) noexcept;
  TrendStore& operator=(TrendStore&&) noexcept;

  // Samples come in time order; one stamped before the last (a clock set
  // back) is kept at the last one's time, so the views stay ordered.
  void append(const Sample& sample);
  void clear();

  std::size_t size() const { return times_.size(); }
  bool empty() const { return times_.empty(); }
  qint64 firstMs() const { return empty() ? 0 : timeAt(0); }
  qint64 lastMs() const { return empty() ? 0 : timeAt(size() - 1); }

  qint64 timeAt(std::size_t i) const {
    return segments_.size() == 1 ? segments_.front().second + qint64(times_[i]) : segmentTime(i);
  }
  // NaN when sample i does not carry q.
  double value(std::size_t i, Quantity q) const;
  // Whether any sample carries q.
  bool carries(Quantity q) const;
  // Whether any of samples [from, to) carries q.
  bool carries(Quantity q, std::size_t from, std::size_t to) const;
  // Sample i as it was appended (its time as kept).
  Sample sample(std::size_t i) const;

  // The samples as a range of values: size(), [i], front(), back(), for.
  class Samples;
  Samples samples() const;

  const std::vector<StageMark>& stageMarks() const { return marks_; }

  // The points of q between fromMs and toMs (x = ms since the epoch), at
  // most about 2 * columns of them: where more samples fall into one column
  // of the view, its lowest and highest value stand for them, in time order.
  // Absent values are skipped. The samples just outside the range are
  // included so a curve reaches the view's edges.
  std::vector<QPointF> view(Quantity q, qint64 fromMs, qint64 toMs, int columns) const;
  // The same for several curves of one view: which samples fall into which
  // column is worked out once. Where a column holds many samples (more than
  // eight blocks of the extremes' pyramid), its bounds are those of the
  // blocks, at most an eighth of a column from the pixel's: a sample may then
  // count in the column beside its own.
  struct ViewColumns {
    std::size_t lo = 0, hi = 0;       // the samples of the view, one either side included
    std::vector<std::size_t> starts;  // of each column with samples, and hi; empty: each sample
    std::size_t block = 1;            // columns start at multiples of this (but the first)
  };
  ViewColumns viewColumns(qint64 fromMs, qint64 toMs, int columns) const;
  std::vector<QPointF> view(Quantity q, const ViewColumns& columns) const;
  // What the views found per column, kept by their caller from one redraw to
  // the next: the store only grows, so a column of the same samples as
  // before is not looked up again. Following a day in view, a new frame
  // moves a few columns' bounds, not a thousand.
  class ViewMemo {
    friend class TrendStore;
    struct Kept {
      std::size_t from, to;
      Extremes::Found found;
    };
    std::uint64_t store_ = 0;
    std::array<std::vector<Kept>, kQuantityCount> kept_;
  };
  std::vector<QPointF> view(Quantity q, const ViewColumns& columns, ViewMemo& memo) const;

  // The index of the last sample at or before timeMs (the first when none is).
  std::size_t indexAt(qint64 timeMs) const;
  // The first sample at or after timeMs, the first after timeMs (size() when none).
  std::size_t lowerIndex(qint64 timeMs) const;
  std::size_t upperIndex(qint64 timeMs) const;

  // Tells this store's samples from any other's, and from its own before a
  // clear(): what was worked out from them may be kept while it is the same.
  std::uint64_t id() const { return id_; }

  // What the store holds in memory, for the benchmarks.
  std::size_t bytesUsed() const;

 private:
  struct Column;
  struct Run {
    std::size_t first;  // index of its first sample
    int program;
    int stage;
    Source source;
  };
  Column& column(Quantity q);
  std::vector<QPointF> view(Quantity q, const ViewColumns& columns, ViewMemo* memo) const;
  qint64 segmentTime(std::size_t i) const;

  Chunked<std::uint32_t> times_;  // ms after the base of the sample's segment
  // (first index, base ms): a new segment where 32 bits of ms run out.
  std::vector<std::pair<std::size_t, qint64>> segments_;
  std::array<std::unique_ptr<Column>, kQuantityCount> columns_;
  std::vector<Run> runs_;
  std::vector<StageMark> marks_;
  std::uint64_t id_;
};

class TrendStore::Samples {
 public:
  class iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = Sample;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Sample;
    iterator(const TrendStore* store, std::size_t i) : store_(store), i_(i) {}
    Sample operator*() const { return store_->sample(i_); }
    iterator& operator++() {
      ++i_;
      return *this;
    }
    iterator operator++(int) {
      iterator before = *this;
      ++i_;
      return before;
    }
    friend bool operator==(const iterator& a, const iterator& b) { return a.i_ == b.i_; }

   private:
    const TrendStore* store_;
    std::size_t i_;
  };

  explicit Samples(const TrendStore& store) : store_(&store) {}
  std::size_t size() const { return store_->size(); }
  bool empty() const { return store_->empty(); }
  Sample operator[](std::size_t i) const { return store_->sample(i); }
  Sample front() const { return store_->sample(0); }
  Sample back() const { return store_->sample(size() - 1); }
  iterator begin() const { return {store_, 0}; }
  iterator end() const { return {store_, size()}; }

 private:
  const TrendStore* store_;
};

inline TrendStore::Samples TrendStore::samples() const {
  return Samples(*this);
}

}  // namespace calorix::plot
