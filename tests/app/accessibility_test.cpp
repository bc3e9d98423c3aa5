// Every control of every window is announced by what a person reads: push
// buttons and check boxes by their captions, fields by the labels tied to
// them, and every named control carries its designed id as its description
// (the automation id of AT-SPI and UI Automation).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStringList>

#include "app/Startup.h"
#include "tests/support/ConsoleHarness.h"
#include "tests/support/TestApplication.h"
#include "ui/Designed.h"

namespace calorix {
namespace {

using testing::ConsoleHarness;

struct Findings {
  QStringList wrong;
  int buttons = 0;
  int labelledFields = 0;
  int named = 0;
};

QString where(const QWidget* window, const QWidget* w) {
  return window->objectName() + QLatin1Char('/') + w->objectName();
}

void check(const QWidget* window, Findings& f) {
  for (const QWidget* w : window->findChildren<QWidget*>()) {
    const QString name = w->objectName();
    // Qt's own inner widgets (scroll area viewports and the like) are no controls.
    if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_"))) {
      ++f.named;
      if (w->accessibleDescription() != name)
        f.wrong << where(window, w) +
                       QStringLiteral(": description '%1'").arg(w->accessibleDescription());
    }
    if (qobject_cast<const QPushButton*>(w) || qobject_cast<const QCheckBox*>(w)) {
      ++f.buttons;
      const QString caption = readableText(static_cast<const QAbstractButton*>(w)->text());
      if (w->accessibleName() != caption)
        f.wrong << where(window, w) + QStringLiteral(": name '%1', caption '%2'")
                                          .arg(w->accessibleName(), caption);
    }
    if (const auto* label = qobject_cast<const QLabel*>(w); label && label->buddy()) {
      ++f.labelledFields;
      const QString text = readableText(label->text());
      if (label->buddy()->accessibleName() != text)
        f.wrong << where(window, label->buddy()) + QStringLiteral(": name '%1', label '%2'")
                                                       .arg(label->buddy()->accessibleName(), text);
    }
  }
}

TEST(AccessibilityTest, EveryControlOfEveryWindowIsAnnouncedByWhatAPersonReads) {
  testing::testApplication();
  ConsoleHarness h;
  h.password = kAccessPassword;
  h.start(QStringLiteral("[Vid prog]\r\nVidProg=4\r\n"));  // the whole main window
  h.show();
  Findings f;
  for (const auto& window : h.console().windows()) {
    window->show();
    check(window.get(), f);
  }
  EXPECT_TRUE(f.wrong.isEmpty()) << f.wrong.join(QLatin1Char('\n')).toStdString();
  // Every window was walked: the main window alone has dozens of each.
  EXPECT_GE(f.buttons, 50);
  EXPECT_GE(f.labelledFields, 40);
  EXPECT_GE(f.named, 150);
  h.close();
}

TEST(AccessibilityTest, MnemonicMarkersAreNotRead) {
  const std::pair<const char*, const char*> cases[] = {
      {"Чтение", "Чтение"}, {"&Запись", "Запись"}, {"P&&B", "P&B"}, {"a&", "a"}, {"", ""}};
  for (const auto& [text, read] : cases)
    EXPECT_EQ(readableText(QString::fromUtf8(text)), QString::fromUtf8(read)) << text;
}

}  // namespace
}  // namespace calorix
