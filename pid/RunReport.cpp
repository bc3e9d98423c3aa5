#include "pid/RunReport.h"

#include "core/Abort.h"

namespace calorix {

void RunReport::step(const std::function<void()>& step) {
  try {
    step();
  } catch (const AbortAction& failed) {
    fileError(failed.message());
  }
}

void RunReport::show() {
  QStringList lines = notes_;
  if (!fileErrors_.isEmpty()) lines << fileErrors_ << kFilesStoppedText;
  notes_.clear();
  fileErrors_.clear();
  if (!lines.isEmpty()) messages_.show(lines.join(QLatin1Char('\n')));
}

}  // namespace calorix
