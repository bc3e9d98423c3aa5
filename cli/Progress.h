#pragma once
// Progress of long work on stderr: a bar redrawn in place when stderr is a
// terminal, one line per region otherwise (a log, a pipe, a script).
#include <QString>

#include <functional>

namespace calorix::cli {

class Progress {
 public:
  virtual ~Progress() = default;
  // A new piece of work of `total` units (bytes) under a title ("backup").
  virtual void begin(const QString& title, qint64 total) = 0;
  // The region now under way, as text.
  virtual void region(const QString& text) = 0;
  virtual void advance(qint64 units) = 0;
  virtual void end() = 0;
  // Takes a bar off its line, so that a result line printed now (on stdout,
  // maybe the same terminal) starts clean; the next advance draws it again.
  virtual void clearLine() {}
};

class NoProgress : public Progress {
 public:
  void begin(const QString&, qint64) override {}
  void region(const QString&) override {}
  void advance(qint64) override {}
  void end() override {}
};

class TextProgress : public Progress {
 public:
  // write: stderr; terminal: whether it is a terminal (the bar) or not (lines).
  TextProgress(std::function<void(const QString&)> write, bool terminal);
  void begin(const QString& title, qint64 total) override;
  void region(const QString& text) override;
  void advance(qint64 units) override;
  void end() override;
  void clearLine() override;

 private:
  void drawBar();

  std::function<void(const QString&)> write_;
  bool terminal_;
  QString title_;
  QString region_;
  qint64 total_ = 0;
  qint64 done_ = 0;
  int drawnPercent_ = -1;
  int drawnWidth_ = 0;
  bool drawn_ = false;
};

}  // namespace calorix::cli
