#pragma once
// A growing array in fixed chunks: appending never moves what is stored (no
// copy of a day of samples while a frame waits to be drawn) and never holds
// more than one chunk beyond what is used (a vector doubling to 2x would):
// a chunk of 512 words is 2 % of a day's PID run.
#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

namespace calorix::plot {

template <class T, int kShift = 9>
class Chunked {
 public:
  static constexpr std::size_t kChunk = std::size_t(1) << kShift;

  void push_back(const T& v) {
    if (size_ == chunks_.size() * kChunk) chunks_.push_back(std::make_unique<T[]>(kChunk));
    chunks_[size_ >> kShift][size_ & (kChunk - 1)] = v;
    ++size_;
  }
  const T& operator[](std::size_t i) const { return chunks_[i >> kShift][i & (kChunk - 1)]; }
  T& operator[](std::size_t i) { return chunks_[i >> kShift][i & (kChunk - 1)]; }
  const T& back() const { return (*this)[size_ - 1]; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  void clear() {
    chunks_.clear();
    size_ = 0;
  }
  // f(i, element) for [a, b) in order, a chunk's stretch at a time.
  template <class F>
  void forEach(std::size_t a, std::size_t b, F&& f) const {
    while (a < b) {
      const T* chunk = chunks_[a >> kShift].get();
      const std::size_t end = std::min(b, ((a >> kShift) + 1) << kShift);
      for (; a < end; ++a) f(a, chunk[a & (kChunk - 1)]);
    }
  }
  std::size_t bytes() const {
    return chunks_.size() * kChunk * sizeof(T) + chunks_.capacity() * sizeof(chunks_[0]);
  }

 private:
  std::vector<std::unique_ptr<T[]>> chunks_;
  std::size_t size_ = 0;
};

}  // namespace calorix::plot
