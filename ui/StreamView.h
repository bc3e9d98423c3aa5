#pragma once
// The telemetry stream of the P/B key (pid/) and the main window's service
// area (panel/) without either including the other: the service area
// provides the view the stream changes, the stream owner the keys the service
// area forwards to it, and app/ hands each to the other.
#include <QColor>
#include <QString>

#include <functional>

namespace calorix {

struct StreamView {
  std::function<void(const QColor&)> setLampColor;         // Shape_Sp
  std::function<void(bool)> setPbEnabled;                  // Button6 "P/B"
  std::function<void(const QString&)> setMeasurementText;  // Edit_NumIzm
  // The value fields of the service area by designed name (EditTempDat,
  // Edit23 .. Edit25, EditTempTP, EditPK .. EditPN).
  std::function<void(const QString& name, const QString& text)> setField;
  // ВЫКЛ НАГРЕВ's caption back to the system window-text colour.
  std::function<void()> restoreStopCaption;
};

// What the stream's keys forward to the stream owner.
struct StreamKeys {
  // "P/B" with RamOutEnabled 1: the whole stream (the caller holds the guard).
  std::function<void()> run;
  // ВЫКЛ НАГРЕВ: exchanges nothing, so it works while the stream holds the line.
  std::function<void()> stop;
  // "Разрешение вывода ОЗУ (PID)": the key code, RamOutEnabled toggled (the
  // caller holds the guard).
  std::function<void()> switchRamOutput;
};

}  // namespace calorix
