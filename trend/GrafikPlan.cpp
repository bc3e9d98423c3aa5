// The planned profile of the trend window: the program the program editor
// holds, or one read from the controller before a run, drawn from the run's
// first frame at its temperature, and the stretches where the furnace lags
// it by more than the margin shaded.
#include "core/NumberText.h"
#include "link/Action.h"
#include "trend/TFormGrafik.h"

namespace calorix {

QString TFormGrafik::planReadRefusedText() {
  return QString::fromUtf8(
      "Программа для плана не прочитана: идёт работа или поток P/B, их кадры занимают линию. "
      "Прочитайте программу до пуска или возьмите её из редактора программ "
      "(\"Программа плана\": из редактора).");
}

QString TFormGrafik::noEditorProgramText() {
  return QString::fromUtf8(
      "В редакторе программ нет загруженной программы. Выберите программу в окне \"Данные "
      "печи\" или укажите номер программы плана, чтобы прочитать её из контроллера.");
}

void TFormGrafik::takePlan() {
  const int number = SpinProgram->value();
  std::optional<ProgramTable> table;
  int program = number;
  if (number == 0) {
    const std::optional<HeldProgram> held =
        hooks_.editorProgram ? hooks_.editorProgram() : std::nullopt;
    if (!held) {
      ctx_.messages.show(noEditorProgramText());
      return;
    }
    table = held->table;
    program = held->number;
  } else {
    // During a run or the stream the controller's own frames share the
    // line: nothing extra may be read then.
    const RunState& run = ctx_.run;
    if (run.PidRunActive == 1 || run.PuskFlag == 1 || ctx_.link.busy()) {
      ctx_.messages.show(planReadRefusedText());
      return;
    }
    runAction(ctx_.link, ctx_.messages, [&] {
      if (hooks_.readProgram) table = hooks_.readProgram(number);
    });
    if (!table) {
      ctx_.messages.show(
          QString::fromUtf8("Программа %1 не прочитана: нет связи с контроллером").arg(number));
      return;
    }
  }
  std::vector<plot::PlanStage> stages = plot::planStages(*table);
  if (stages.empty()) {
    ctx_.messages.show(
        QString::fromUtf8("В программе %1 нет этапов: план не построен.").arg(program));
    return;
  }
  planStages_ = std::move(stages);
  planProgram_ = program;
  redraw();
}

void TFormGrafik::dropPlan() {
  planStages_.clear();
  planProgram_ = 0;
  redraw();
}

void TFormGrafik::addPlan(TrendContent& content) const {
  if (planStages_.empty() || !shown_->runStart) return;
  const auto [startMs, startC] = *shown_->runStart;
  const std::vector<plot::PlanPoint> plan = plot::plannedProfile(planStages_, startMs, startC);
  content.plan.reserve(plan.size());
  for (const plot::PlanPoint& p : plan) content.plan.emplace_back(double(p.timeMs), p.temperature);
  for (const plot::LagInterval& lag : shown_->lags.update(shown_->store, plan, SpinMargin->value()))
    content.lags.emplace_back(lag.fromMs, lag.toMs);
}

QString TFormGrafik::planInfo() const {
  if (planStages_.empty()) return QString();
  if (!shown_->runStart)
    return QString::fromUtf8("план: программа %1, с первого кадра работы").arg(planProgram_);
  return QString::fromUtf8("план: программа %1").arg(planProgram_);
}

}  // namespace calorix
