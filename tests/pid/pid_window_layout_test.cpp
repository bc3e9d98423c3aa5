// The PID work window as a person sees it: every caption and every designed
// text fits its control at the fonts this system has, the window starts as
// designed, and closing it only hides it.
#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QStyle>
#include <QStyleOptionGroupBox>

#include "tests/pid/pid_fixture.h"

namespace calorix::testing {
namespace {

int widestLine(const QFontMetrics& fm, const QString& text) {
  int widest = 0;
  for (const QString& line : text.split(QLatin1Char('\n')))
    widest = std::max(widest, fm.horizontalAdvance(line));
  return widest;
}

TEST_F(PidWindowTest, EveryCaptionAndDesignedTextFitsItsControl) {
  window->adjustSize();
  QTest::qWait(0);
  QStringList clipped;
  const auto check = [&clipped](const QWidget* w, const QString& text, int room) {
    const int needed = widestLine(w->fontMetrics(), text);
    if (room < needed)
      clipped << QStringLiteral("%1 '%2': %3 of %4 px")
                     .arg(w->objectName(), text, QString::number(room), QString::number(needed));
  };
  for (const QLabel* label : window->findChildren<QLabel*>())
    check(label, label->text(), label->contentsRect().width());
  for (const QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
    // The caption beside a check box's indicator, or inside a button's frame.
    const int room = b->width() - (b->sizeHint().width() - widestLine(b->fontMetrics(), b->text()));
    check(b, b->text(), room);
  }
  for (const QGroupBox* box : window->findChildren<QGroupBox*>()) {
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.subControls = QStyle::SC_GroupBoxLabel;
    const QRect title =
        box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    check(box, box->title(), box->width() - std::max(0, title.left()));
  }
  for (const QLineEdit* field : window->findChildren<QLineEdit*>()) {
    // The frame on each side, and the line edit's own margin of 2 px.
    const int frame = field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, field);
    check(field, field->text(), field->contentsRect().width() - 2 * frame - 4);
  }
  EXPECT_TRUE(clipped.isEmpty()) << clipped.join(QLatin1Char('\n')).toStdString();
}

TEST_F(PidWindowTest, StartsAsDesignedAndKeepsItsContentsWhenClosed) {
  QStringList notOwnName;
  for (const QLineEdit* field : window->findChildren<QLineEdit*>())
    if (field->text() != field->objectName()) notOwnName << field->objectName();
  EXPECT_TRUE(notOwnName.isEmpty()) << notOwnName.join(' ').toStdString();
  EXPECT_GE(window->findChildren<QLineEdit*>().size(), 50);
  EXPECT_TRUE(w<QCheckBox>("CheckBox1")->isChecked());
  EXPECT_FALSE(w<QCheckBox>("CheckBox2")->isChecked());
  EXPECT_FALSE(w<QCheckBox>("CheckBox3")->isChecked());
  EXPECT_FALSE(button("Button3")->isVisible());
  EXPECT_FALSE(button("Button3")->isEnabled());

  press("Button5");
  const QString read = text("EditTecKUs");
  window->close();
  EXPECT_FALSE(window->isVisible());
  window->show();
  EXPECT_EQ(text("EditTecKUs"), read);
  EXPECT_NE(read, "EditTecKUs");
}

// "График" sits beside the designed controls: with it shown or hidden (a
// hidden widget takes no room in its layout), every other control keeps its
// place and size in the window.
TEST_F(PidWindowTest, GrafikButtonMovesNoDesignedControl) {
  QWidget* grafik = w("ButtonGrafik");
  const auto places = [&] {
    window->layout()->activate();
    QStringList out;
    for (const QWidget* child : window->findChildren<QWidget*>()) {
      if (child == grafik || child->objectName().isEmpty() || !child->isVisible()) continue;
      const QRect r(child->mapTo(window.get(), QPoint(0, 0)), child->size());
      out << QStringLiteral("%1 %2,%3 %4x%5")
                 .arg(child->objectName())
                 .arg(r.x())
                 .arg(r.y())
                 .arg(r.width())
                 .arg(r.height());
    }
    return out;
  };
  window->adjustSize();
  ASSERT_TRUE(grafik->isVisible());
  const QStringList with = places();
  grafik->hide();
  const QStringList without = places();
  ASSERT_GE(with.size(), 50);
  EXPECT_EQ(with, without);
}

}  // namespace
}  // namespace calorix::testing
