#pragma once
// An action the operator started is abandoned: a text that does not convert, a
// log file that cannot be written, a division by zero. What was already sent
// stays sent; the handler that started the action shows the message and
// returns. Link failures are never reported this way: they leave the link
// status.
#include <QString>

#include <exception>

namespace calorix {

class AbortAction : public std::exception {
 public:
  explicit AbortAction(QString message) : message_(std::move(message)) {}
  const QString& message() const { return message_; }
  const char* what() const noexcept override { return "action abandoned"; }

 private:
  QString message_;
};

}  // namespace calorix
