#pragma once
// A run's ticks that read no frame (the port lost, the controller silent):
// nothing of such a tick is shown, logged or handed to the trend as if it
// had been measured. The first tick of a gap puts the gap's line into the
// run's data log, the first frame after it the line of its end
// (plot/LogGap.h), and the window shows the tick failed in place of its
// measurement number. The run goes on by itself once frames come again.
#include <QString>

#include <functional>

#include "link/Link.h"

namespace calorix {

// The measurement number's field after a tick that read no frame: the frames
// read so far and that this one did not come.
QString noFrameText(qint32 framesRead);

class RunGap {
 public:
  using WriteLine = std::function<void(const QString&)>;

  // After the tick's RdPidFrame: whether any byte of the frame came. A gap
  // that begins or ends here is written through writeLine first. A run that
  // did not ask the controller for its frames (R5 bit 2 left clear) reads
  // nothing by design and misses a tick only while the port is lost.
  bool frameRead(Link& link, const WriteLine& writeLine, bool framesAsked = true);
  // A new run begins without a gap.
  void reset() { *this = RunGap(); }

  bool inGap() const { return inGap_; }
  // Ticks of this run that read no frame.
  int ticksLost() const { return ticksLost_; }

 private:
  bool inGap_ = false;
  int ticksLost_ = 0;
};

}  // namespace calorix
