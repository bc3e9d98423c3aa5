#pragma once
// What keeps the windows from putting into the controller what was not read
// from it: a run that holds the line, and fields that a failed read left.
#include <QString>
#include <QStringList>

#include "ui/WindowContext.h"

class QLineEdit;

namespace calorix::ui {

// During a Пуск run or a run of the PID work window the controller sends its
// PID frames by itself: a memory read or write could then take a frame's
// bytes for its answer. Such reads and writes are refused with this text.
QString memoryRefusedText();
// True, with the text shown, while a run is on; nothing is sent then.
bool refusedDuringRun(WindowContext& context);

// A field that a read did not fill whole is marked: it stays marked while it
// shows what that read left, so a write refuses it. Text the operator puts
// in, or a whole read, clears the mark.
void markRead(QLineEdit* field, bool whole);
bool unread(const QLineEdit* field);
// The refusal of a write while fields are marked, naming them; nothing is sent.
QString unreadRefusedText(const QStringList& names);
// After a read: the fields it left empty; stopped when nobody answered and
// the read ended there.
QString fieldsNotReadText(const QStringList& names, bool stopped);
// After a write: the fields whose write the controller did not confirm;
// stopped when the write ended there and the fields after it were not sent.
QString fieldsNotConfirmedText(const QStringList& names, bool stopped);

}  // namespace calorix::ui
