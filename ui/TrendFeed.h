#pragma once
// How the run timers and the telemetry stream (pid/) hand every frame they
// have already read to the trend window without including it: the producer
// calls frame once per frame, app/ connects it to the window. Never an
// exchange of its own.
#include <functional>

#include "plot/TrendSample.h"

namespace calorix {

struct TrendFeed {
  std::function<void(const plot::Sample&)> frame;
  void operator()(const plot::Sample& s) const {
    if (frame) frame(s);
  }
};

}  // namespace calorix
