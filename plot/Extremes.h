#pragma once
// Where the lowest and the highest value of one quantity lie in any stretch
// of samples, at a cost of the stretch's logarithm rather than its length: a
// pyramid of per-block extremes, blocks of kLeaf samples at the bottom and
// kFan blocks a level above. Each block keeps its extremes' sample indices
// (a point keeps its time) and their value words, so a query reads the
// pyramid front to back and the samples only at the stretch's two ends. A
// view of a day at line rate asks it once per pixel column.
//
// Ties go to the earlier sample, as a scan from left to right finds them;
// absent values (NaN) are never an extreme.
//
// Column: std::uint32_t word(i) const, double valueOf(word, i) const (the
// value of sample i whose word that is), and scan(a, b, f) calling f(i,
// value) for samples [a, b) in order.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "plot/Chunked.h"

namespace calorix::plot {

class Extremes {
 public:
  static constexpr std::size_t kNone = std::size_t(-1);
  static constexpr std::size_t kLeaf = 64;  // samples of a bottom block
  static constexpr std::size_t kFan = 16;   // blocks of a block a level up

  // The extremes found so far; take samples and blocks in index order.
  struct Found {
    std::size_t low = kNone, high = kNone;
    double lowValue = 0, highValue = 0;
    bool any() const { return low != kNone; }
    void take(std::size_t i, double v) {
      takeLow(i, v);
      takeHigh(i, v);
    }
    void takeLow(std::size_t i, double v) {
      if (!std::isnan(v) && (low == kNone || v < lowValue)) low = i, lowValue = v;
    }
    void takeHigh(std::size_t i, double v) {
      if (!std::isnan(v) && (high == kNone || v > highValue)) high = i, highValue = v;
    }
  };

  // Sample count - 1 has been appended.
  template <class Column>
  void grew(std::size_t count, const Column& column) {
    if (count % kLeaf != 0) return;
    const std::size_t first = count - kLeaf;
    Found f;
    column.scan(first, count, [&f](std::size_t i, double v) { f.take(i, v); });
    Leaf leaf{kNoWord, kNoWord, kNoOffset, kNoOffset};
    if (f.any()) {
      leaf = {column.word(f.low), column.word(f.high), std::uint8_t(f.low - first),
              std::uint8_t(f.high - first)};
    }
    leaves_.push_back(leaf);
    // Each level's block is complete when its last child is.
    std::size_t below = leaves_.size();
    for (std::size_t level = 0; below % kFan == 0; ++level) {
      if (levels_.size() == level) levels_.emplace_back();
      Found up;
      for (std::size_t j = below - kFan; j < below; ++j) takeBlock(int(level) - 1, j, column, up);
      Node node{kNone32, kNone32, kNoWord, kNoWord};
      if (up.any())
        node = {std::uint32_t(up.low), std::uint32_t(up.high), column.word(up.low),
                column.word(up.high)};
      levels_[level].push_back(node);
      below = levels_[level].size();
    }
  }

  // Adds the extremes of samples [a, b) to found; b at most the count grown to.
  template <class Column>
  void find(std::size_t a, std::size_t b, const Column& column, Found& found) const {
    if (a >= b) return;
    const auto take = [&found](std::size_t i, double v) { found.take(i, v); };
    const std::size_t firstBlock = (a + kLeaf - 1) / kLeaf, endBlock = b / kLeaf;
    if (firstBlock >= endBlock) {
      column.scan(a, b, take);
      return;
    }
    column.scan(a, firstBlock * kLeaf, take);
    findBlocks(-1, firstBlock, endBlock, column, found);
    column.scan(endBlock * kLeaf, b, take);
  }

  void clear() {
    leaves_.clear();
    levels_.clear();
  }
  std::size_t bytes() const {
    std::size_t n = leaves_.bytes();
    for (const auto& level : levels_) n += level.capacity() * sizeof(Node);
    return n;
  }

 private:
  static constexpr std::uint32_t kNone32 = 0xFFFFFFFFu;
  static constexpr std::uint32_t kNoWord = 0;
  static constexpr std::uint8_t kNoOffset = 0xFF;
  struct Leaf {
    std::uint32_t lowWord, highWord;
    std::uint8_t low, high;  // offsets in the block; kNoOffset: no value in it
  };
  struct Node {
    std::uint32_t low, high;  // sample indices; kNone32: no value in the block
    std::uint32_t lowWord, highWord;
  };

  // Block j of a level (-1: the bottom blocks) into found.
  template <class Column>
  void takeBlock(int level, std::size_t j, const Column& column, Found& found) const {
    if (level < 0) {
      const Leaf& leaf = leaves_[j];
      if (leaf.low == kNoOffset) return;
      const std::size_t low = j * kLeaf + leaf.low, high = j * kLeaf + leaf.high;
      found.takeLow(low, column.valueOf(leaf.lowWord, low));
      found.takeHigh(high, column.valueOf(leaf.highWord, high));
      return;
    }
    const Node& node = levels_[std::size_t(level)][j];
    if (node.low == kNone32) return;
    found.takeLow(node.low, column.valueOf(node.lowWord, node.low));
    found.takeHigh(node.high, column.valueOf(node.highWord, node.high));
  }

  // Blocks [lo, hi) of a level, the whole groups of kFan through the level above.
  template <class Column>
  void findBlocks(int level, std::size_t lo, std::size_t hi, const Column& column,
                  Found& found) const {
    const std::size_t upLo = (lo + kFan - 1) / kFan, upHi = hi / kFan;
    if (upLo >= upHi) {
      for (std::size_t j = lo; j < hi; ++j) takeBlock(level, j, column, found);
      return;
    }
    for (std::size_t j = lo; j < upLo * kFan; ++j) takeBlock(level, j, column, found);
    findBlocks(level + 1, upLo, upHi, column, found);
    for (std::size_t j = upHi * kFan; j < hi; ++j) takeBlock(level, j, column, found);
  }

  Chunked<Leaf, 6> leaves_;  // grown in steps of 64 blocks, not doubled
  std::vector<std::vector<Node>> levels_;
};

}  // namespace calorix::plot
