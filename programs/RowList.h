#pragma once
// What the program table says when a transfer did not go through whole: the
// rows named as the operator reads them, runs joined ("2, 5, 21–50").
#include <QString>

#include <vector>

namespace calorix {

// Ascending row numbers as text, runs of three or more joined with a dash.
QString rowsText(const std::vector<int>& rows);
// A read: the rows not read (left empty); stoppedAt, when not 0, the row
// that nobody answered, where the read stopped.
QString readFailedText(const std::vector<int>& rows, int stoppedAt);
// A write: the rows the controller did not confirm; stoppedAt as for a read,
// the rows after it not sent at all.
QString writeFailedText(const std::vector<int>& rows, int stoppedAt);
// A write refused before anything was sent: rows a read left empty.
QString writeRefusedText(const std::vector<int>& rows);

}  // namespace calorix
