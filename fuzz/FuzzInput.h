#pragma once
// What every fuzz target shares: the fuzzer's bytes taken apart a piece at a
// time, and a check that stops the run with a message when a rule is broken.
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace calorix::fuzz {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ >= size_; }
  std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
  // The rest of the bytes.
  QByteArray rest() {
    const QByteArray r(reinterpret_cast<const char*>(data_ + at_), qsizetype(size_ - at_));
    at_ = size_;
    return r;
  }
  // Up to n bytes.
  QByteArray take(std::size_t n) {
    if (n > size_ - at_) n = size_ - at_;
    const QByteArray r(reinterpret_cast<const char*>(data_ + at_), qsizetype(n));
    at_ += n;
    return r;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// A broken rule is a finding: print it and abort so libFuzzer keeps the input.
#define FUZZ_CHECK(cond, what)                                                     \
  do {                                                                             \
    if (!(cond)) {                                                                 \
      std::fprintf(stderr, "rule broken: %s (%s:%d)\n", what, __FILE__, __LINE__); \
      std::abort();                                                                \
    }                                                                              \
  } while (0)

}  // namespace calorix::fuzz
