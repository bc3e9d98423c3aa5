#pragma once
// Builds the console in its designed order: the message boxes, the clock, the
// link, the run state, the window context, then the eight windows (TForm1,
// TFormVvodProg, TFormIzmKoef, TFormDopParam, TFormDopRAM, TFormRabPID,
// TFormDataDide, TForm2). The program and the tests take the same path; tests
// inject their own link, message boxes and password answer.
#include <QString>

#include <functional>
#include <memory>

#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/WindowContext.h"
#include "core/Clock.h"
#include "core/Messages.h"
#include "link/Link.h"

namespace calorix {

class TFormVvodProg;
class TFormIzmKoef;
class TFormDopParam;
class TFormDopRAM;
class TFormRabPID;
class TFormDataDide;

// Answers the password window; the default shows TForm2 modally until the
// operator closes it.
using PasswordAnswer = std::function<QString(TForm2&)>;

struct ConsoleSetup {
  // Used when link is null: a RealClock and this configuration make the link.
  LinkConfig linkConfig;
  Link* link = nullptr;          // not owned
  Messages* messages = nullptr;  // not owned; QtMessages when null
  PasswordAnswer passwordAnswer;
};

class Console {
 public:
  explicit Console(ConsoleSetup setup);
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  Link& link() { return *link_; }
  Messages& messages() { return *messages_; }
  RunState& run() { return run_; }
  WindowContext& context() { return *context_; }

  TForm1& form1() { return *form1_; }
  TFormVvodProg& vvodProg() { return *vvodProg_; }
  TFormIzmKoef& izmKoef() { return *izmKoef_; }
  TFormDopParam& dopParam() { return *dopParam_; }
  TFormDopRAM& dopRam() { return *dopRam_; }
  TFormRabPID& rabPid() { return *rabPid_; }
  TFormDataDide& dataDide() { return *dataDide_; }
  TForm2& form2() { return *form2_; }

 private:
  // Declared in creation order; destroyed in reverse, the windows first.
  std::unique_ptr<Messages> ownMessages_;
  Messages* messages_ = nullptr;
  std::unique_ptr<Clock> ownClock_;
  std::unique_ptr<Link> ownLink_;
  Link* link_ = nullptr;
  RunState run_;
  std::unique_ptr<WindowContext> context_;
  PasswordAnswer passwordAnswer_;
  std::unique_ptr<TForm1> form1_;
  std::unique_ptr<TFormVvodProg> vvodProg_;
  std::unique_ptr<TFormIzmKoef> izmKoef_;
  std::unique_ptr<TFormDopParam> dopParam_;
  std::unique_ptr<TFormDopRAM> dopRam_;
  std::unique_ptr<TFormRabPID> rabPid_;
  std::unique_ptr<TFormDataDide> dataDide_;
  std::unique_ptr<TForm2> form2_;
};

// SIGINT and SIGTERM close the window as its close box does. The handler only
// writes the signal to a pipe; a notifier on the UI thread reads it and closes
// the window. Does nothing where there are no such signals.
void closeOnTerminationSignals(QWidget& window);

}  // namespace calorix
