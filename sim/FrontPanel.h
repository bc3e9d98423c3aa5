#pragma once
// The front panel as the controller keeps it in RAM: the program, stage and
// parameter displays with their blink flags, the unit lamps, the three bar
// graphs and the heater lamp; and the keys and encoder that select a program
// and a stage and edit a stage's values.
#include <cstdint>

#include "core/ControllerMap.h"
#include "sim/Memory.h"
#include "sim/ProgramRunner.h"
#include "sim/StageRecords.h"
#include "sim/ThermocoupleChain.h"

namespace calorix::sim {

class FrontPanel {
 public:
  int selectedProgram() const { return selectedProgram_; }

  // A run starts: the edit in progress is kept and the parameter display
  // returns to the current temperature.
  void prepareForRun(ControllerMemory& memory);
  // A panel key or the encoder (ctl::panelKey), Пуск/Стоп apart.
  void panelKey(ControllerMemory& memory, std::uint8_t code, bool running);
  // A key code of the service area (ctl::plainKey).
  void plainKey(ControllerMemory& memory, std::uint8_t code, bool running);
  // Everything the panel shows, into RAM.
  void show(ControllerMemory& memory, const ProgramRunner& runner, const Reading& reading) const;

 private:
  enum class Edit { None, Program, Stage, Param };
  // What the parameter display shows.
  enum class View { Current, SetPoint, Power, StageTemp, StageTime, StageSpeed };

  int editLimit() const;
  bool stageView() const;
  int stageField(const Stage& s) const;
  // Of a stage view: where RAM holds the running stage's value, and its unit lamp.
  ctl::Addr runningStageValue() const;
  std::uint8_t stageLamp() const;
  void beginEdit(ControllerMemory& memory, Edit e);
  void commitEdit(ControllerMemory& memory);
  void change(int delta);
  void nextParamView(ControllerMemory& memory, bool running);
  void showParameter(ControllerMemory& memory, double v, bool fraction) const;

  int selectedProgram_ = 1;
  int shownStage_ = 1;
  Edit edit_ = Edit::None;
  int editValue_ = 0;
  View view_ = View::Current;
};

}  // namespace calorix::sim
