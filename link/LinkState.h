#pragma once
// What every exchange with the controller leaves behind: the link status and
// FlagLinkBreak, one instance for the program, kept by Link and written only
// by its units. Also the hooks through which the link shows something in the
// main window without including a widget.
#include <QString>

#include <cstdint>
#include <functional>

namespace calorix {

struct LinkStatus {
  int code = 0;
  QString text;
};

namespace status_text {
// The exact texts of the link status.
QString done();            // 0 "Выполнено"
QString noAnswerBoards();  // 1 "ошибка 1 - нет связи с платами Корунда"
QString noAnswer();        // 1 "ошибка 1 - нет связи с Корундом"
QString refused();         // 2 "ошибка 2 - команда не выполнена"
QString unknown();         // 254 "ошибка 254 - неизвестная ошибка"
QString writeFailed();  // 255 "ошибка 255 - не записалось в буфер порта"
// Codes 3..6 belong to the table but no reply byte selects them yet.
QString reserved(int code);
}  // namespace status_text

struct LinkState {
  LinkStatus status;
  // 0 when the port is opened; set by a traced write that fails or a traced
  // read that lasts 10 s or more; nothing clears it afterwards.
  std::uint8_t FlagLinkBreak = 0;

  void setWriteFailed() { status = {255, status_text::writeFailed()}; }
};

// What the last exchange found of the controller: it answered (or nothing is
// known yet), a read that waited for it brought nothing, or there was no port
// to talk through (it did not open, or it was lost).
enum class LineState { Answering, Silent, NoPort };

struct LinkHooks {
  // Edit_Contrl of the main window: "Err" after a failed open, the status
  // text after SendKeyCode / SendRamOutKey.
  std::function<void(const QString&)> showControlStatus;
  // Edit1 / Edit2 of the main window: the two 16-bit halves WrDWord sends.
  std::function<void(quint16 high, quint16 low)> showDWordHalves;
  // A notice at start-up that does not stop it (a DataPid out of range).
  std::function<void(const QString&)> notice;
  // The port was lost while open (adapter pulled, line hung up); called once
  // with the text to show. Every exchange fails at once (status 255) until
  // the device is back and portBack is called, once, with its text.
  std::function<void(const QString&)> portLost;
  std::function<void(const QString&)> portBack;
  // The line state changed (called only on a change).
  std::function<void(LineState)> lineStateChanged;
};

}  // namespace calorix
