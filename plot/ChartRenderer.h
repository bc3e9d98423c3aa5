#pragma once
// The trend drawn with QPainter alone, no widget and no chart library: what
// the command line writes to PNG and SVG, and what the trend window exports.
// Clock time across; a °C axis on the left for the temperatures, their error
// and the speeds, a second axis on the right for power and the control
// actions; the plan dashed, the stretches that lag it shaded, stage changes
// marked, a legend on top. Curves come from TrendStore::view, so a day of
// samples costs no more to draw than the pixels across.
#include <QColor>
#include <QPainter>
#include <QSize>
#include <QString>

#include <vector>

#include "plot/PlannedProfile.h"
#include "plot/TrendStore.h"

namespace calorix::plot {

struct ChartRequest {
  const TrendStore* store = nullptr;
  qint64 fromMs = 0, toMs = 0;   // 0, 0: the whole store
  std::vector<Quantity> curves;  // empty: every quantity with a value
  std::vector<PlanPoint> plan;   // may be empty
  std::vector<LagInterval> lags;
  QSize size{1280, 720};
  QString title;
};

// Draws into painter's device from (0, 0) over request.size. Needs a QGuiApplication (fonts).
void renderChart(QPainter& painter, const ChartRequest& request);
// The chart as a PNG or an SVG file of request.size, written through a temporary file renamed into
// place. false with the reason in *error.
bool writePng(const QString& path, const ChartRequest& request, QString* error);
bool writeSvg(const QString& path, const ChartRequest& request, QString* error);

// The colour of a quantity's curve, the same in the window and in files.
QColor curveColor(Quantity q);
// The smallest and largest chart a file may have.
inline constexpr QSize kMinChartSize{200, 150};
inline constexpr QSize kMaxChartSize{10000, 10000};

}  // namespace calorix::plot
