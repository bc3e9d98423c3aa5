#include "cli/Progress.h"

#include <algorithm>

namespace calorix::cli {

namespace {
constexpr int kBarWidth = 30;
// Room for the region text after the bar; a longer one is cut.
constexpr int kRegionWidth = 24;
}  // namespace

TextProgress::TextProgress(std::function<void(const QString&)> write, bool terminal)
    : write_(std::move(write)), terminal_(terminal) {}

void TextProgress::begin(const QString& title, qint64 total) {
  title_ = title;
  total_ = std::max<qint64>(total, 1);
  done_ = 0;
  drawnPercent_ = -1;
  region_.clear();
  drawn_ = false;
}

void TextProgress::region(const QString& text) {
  region_ = text;
  if (terminal_) {
    drawBar();
  } else {
    write_(QStringLiteral("%1: %2\n").arg(title_, text));
  }
}

void TextProgress::advance(qint64 units) {
  done_ = std::min(total_, done_ + units);
  // Redrawn only when the figure moves: a terminal over a slow line is no
  // place for a thousand redraws.
  if (terminal_ && int(done_ * 100 / total_) != drawnPercent_) drawBar();
}

void TextProgress::end() {
  if (terminal_ && drawn_) write_(QStringLiteral("\n"));
  drawn_ = false;
}

void TextProgress::clearLine() {
  if (!terminal_ || !drawn_) return;
  write_(QLatin1Char('\r') + QString(drawnWidth_, u' ') + QLatin1Char('\r'));
  drawn_ = false;
  drawnPercent_ = -1;
}

void TextProgress::drawBar() {
  const int percent = int(done_ * 100 / total_);
  const int filled = int(done_ * kBarWidth / total_);
  const QString bar = QString(filled, u'#') + QString(kBarWidth - filled, u'.');
  // Carriage return and the whole line again: the region text changes too.
  const QString line = QStringLiteral("%1 [%2] %3% %4")
                           .arg(title_, bar)
                           .arg(percent, 3)
                           .arg(region_.left(kRegionWidth), -kRegionWidth);
  write_(QLatin1Char('\r') + line);
  drawnWidth_ = int(line.size());
  drawnPercent_ = percent;
  drawn_ = true;
}

}  // namespace calorix::cli
