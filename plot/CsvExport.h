#pragma once
// A trend as a CSV file that other tools read without help: UTF-8, a header
// line first, a "time" column of ISO 8601 local time stamps with their offset
// from UTC, one column per quantity named by its kQuantities key, "." as the
// decimal point, an empty cell where a value is absent. Every sample of the
// range at full resolution: the export is not the decimated view.
#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

#include "plot/TrendStore.h"

namespace calorix::plot {

// The samples from fromMs to toMs (both included; 0, 0: the whole store). columns empty: every
// quantity with a value in the range, in kQuantities order.
QByteArray csvText(const TrendStore& store, qint64 fromMs, qint64 toMs,
                   const std::vector<Quantity>& columns);
// The same written to path as it is made, a megabyte at a time (a day of the stream is some 300
// MiB of text), through a temporary file renamed into place. progress (may be empty) hears the
// rows written and the rows in all.
using CsvProgress = std::function<void(std::size_t done, std::size_t rows)>;
bool writeCsv(const QString& path, const TrendStore& store, qint64 fromMs, qint64 toMs,
              const std::vector<Quantity>& columns, QString* error,
              const CsvProgress& progress = {});
// Writes text to path through a temporary file renamed into place, so a failed write leaves any
// earlier file whole. An existing file is replaced: the caller asks first.
bool writeCsv(const QString& path, const QByteArray& text, QString* error);

// "2026-03-05T12:03:07.450+03:00": the local time of ms since the epoch with its offset.
QString isoLocalTime(qint64 ms);

}  // namespace calorix::plot
