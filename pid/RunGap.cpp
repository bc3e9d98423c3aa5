#include "pid/RunGap.h"

#include "core/NumberText.h"
#include "plot/LogGap.h"

namespace calorix {

QString noFrameText(qint32 framesRead) {
  return decimalText(framesRead) + QString::fromUtf8(", нет кадра");
}

bool RunGap::frameRead(Link& link, const WriteLine& writeLine, bool framesAsked) {
  // The frame's read is the tick's only transfer: the line state it left
  // says whether anything came (a lost port brings nothing at once, a
  // silent controller nothing after the time-out).
  const LineState found = link.lineState();
  const bool read = found == LineState::Answering || (!framesAsked && found == LineState::Silent);
  if (!read) ++ticksLost_;
  if (read == !inGap_) return read;
  inGap_ = !read;
  link.MakeTimeStamps();
  writeLine(read ? plot::loggap::ended(link.LineStamp()) : plot::loggap::started(link.LineStamp()));
  return read;
}

}  // namespace calorix
