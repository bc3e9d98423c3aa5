// The P/B telemetry stream on the whole console, against the emulator through
// the in-memory port under the virtual clock: frames in and lines out, the
// realignment after a short header, the ways it ends (ВЫКЛ НАГРЕВ after a
// frame or while none comes, a short block, the window closing), nothing else
// on the wire while it runs; and --show-hidden.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "core/ControllerMap.h"
#include "core/Cp1251.h"
#include "core/NumberText.h"
#include "panel/Widgets.h"
#include "pid/TFormRabPID.h"
#include "pid/TelemetryStream.h"
#include "plot/LogGap.h"
#include "tests/support/ConsoleHarness.h"
#include "tests/support/StartupFiles.h"
#include "tests/support/TestApplication.h"
#include "tools/TFormDopRAM.h"

namespace calorix::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace ram = ctl::ram;
namespace sf = ctl::streamFrame;
constexpr std::uint8_t kPB = ctl::plainKey::kPB;

QString viewMode(int mode, bool unlocked) {
  QString ini = QStringLiteral("[Vid prog]\r\nVidProg=%1\r\n").arg(mode);
  if (unlocked)
    for (int i = 0; i < 3; ++i)
      ini += QStringLiteral("CodeProg%1=%2\r\n").arg(i + 1).arg(kUnlockedCodes[std::size_t(i)]);
  return ini;
}

class StreamTest : public ::testing::Test {
 protected:
  // The engineering view, unlocked, with the RAM output switched on by
  // Button7; the emulator streams a frame every periodMs once P/B asks.
  void start(qint64 periodMs = sf::kLineRateMs) {
    testApplication();
    setDecimalSeparator(QLatin1Char('.'));
    LinkHarnessOptions options;
    options.controller.telemetryPeriodMs = periodMs;
    h = std::make_unique<ConsoleHarness>(std::move(options));
    h->start(viewMode(4, true));
    h->show();
    release("Button7");
    ASSERT_EQ(h->console().run().RamOutEnabled, 1);
    ASSERT_TRUE(h->ctrl().ramOutEnabled());
    h->ctrl().clearLogs();
  }

  template <class W = QWidget>
  W* w(const char* name) {
    W* found = h->form1().findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QString text(const char* name) { return w<QLineEdit>(name)->text(); }
  QColor lamp() { return w<panel::Circle>("Shape_Sp")->color(); }
  QColor stopCaption() { return w("Button11")->palette().color(QPalette::ButtonText); }
  void release(const char* name) { QTest::mouseRelease(w(name), Qt::LeftButton); }
  void press(const char* name) { QTest::mousePress(w(name), Qt::LeftButton); }
  void click(const char* name) { QTest::mouseClick(w(name), Qt::LeftButton); }
  int measurement() { return text("Edit_NumIzm").toInt(); }

  // step runs every time the stream lets events run, until it returns true.
  void whileStreaming(std::function<bool()> step) {
    auto* timer = new QTimer(&h->form1());
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, step] {
      if (step()) timer->stop();
    });
    timer->start();
  }
  // ВЫКЛ НАГРЕВ once frame n has been shown.
  void stopAfterFrame(int n) {
    whileStreaming([this, n] {
      if (measurement() != n) return false;
      click("Button11");
      return true;
    });
  }
  // P/B: the stream runs until it ends.
  void runStream() { release("Button6"); }

  // The window as after a stop, the log closed.
  void expectEnded() {
    EXPECT_FALSE(h->form1().parts().telemetry().running());
    EXPECT_TRUE(w("Button6")->isEnabled());
    EXPECT_EQ(lamp(), TelemetryStream::kEndedColor);
    EXPECT_EQ(stopCaption(), QGuiApplication::palette().color(QPalette::WindowText));
    EXPECT_EQ(h->console().run().StopHeatRequest, 0);
    EXPECT_FALSE(h->link().dataLogOpen());
  }
  QStringList dataLog() { return logFileLines(h->link().dataLogPath()); }
  // A stream that ignored a stop while no frame came would wait for ever:
  // frames come again long after the stop, so that such a test ends and fails.
  void liftSilenceLate(qint64 stoppedAt) {
    if (stoppedAt >= 0 && h->clock().nowMs() > stoppedAt + 30000) h->ctrl().setFaults({});
  }
  void setRam(ctl::Addr addr, const Bytes& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) h->ctrl().memory().ram[addr + i] = bytes[i];
  }

  std::unique_ptr<ConsoleHarness> h;
};

TEST_F(StreamTest, EveryFrameIsShownAndLoggedUntilTheStopAfterTheNextFrame) {
  start();
  setRam(ram::kPUV, {0x00, 0x40, 0x02, 0x00});  // 2.25
  setRam(ram::kSigns, {ctl::sign::kDUV});
  setRam(ram::kHeaterPower, {37});
  // After each frame the furnace's temperature becomes 10 x the frame's
  // number: the next frame carries it, and its line must show it.
  int seen = 0;
  std::set<QRgb> lampColours;
  whileStreaming([&] {
    lampColours.insert(lamp().rgb());
    if (measurement() != seen) {
      seen = measurement();
      const auto t = std::uint16_t(seen * 10);
      setRam(ram::kTemperatureWhole, {std::uint8_t(t), std::uint8_t(t >> 8)});
    }
    return false;
  });
  stopAfterFrame(5);
  const qint64 startedAt = h->clock().nowMs();
  runStream();

  expectEnded();
  EXPECT_EQ(h->console().run().WorkCounter, 5);
  EXPECT_EQ(text("Edit_NumIzm"), QStringLiteral("5"));
  EXPECT_EQ(text("EditPUV"), QStringLiteral(" 2.25"));
  EXPECT_EQ(text("EditDUV"), QStringLiteral("- 0.00"));
  EXPECT_EQ(text("EditTempTP"), QStringLiteral("40"));
  EXPECT_EQ(text("EditPN"), QStringLiteral("37"));
  const QStringList log = dataLog();
  ASSERT_EQ(log.size(), 5);
  for (int k = 0; k < 5; ++k)
    EXPECT_EQ(log[k].mid(9),
              QStringLiteral(" ; %1 ;  2,25 ; - 0,00 ;  0,00 ; 0 ; 0 ; 0 ; 37").arg(k * 10))
        << k;
  // The key code that starts the stream and the one that stops it, nothing else.
  EXPECT_EQ(h->ctrl().received(), (Bytes{kPB, kPB}));
  EXPECT_FALSE(h->ctrl().telemetryOn());
  EXPECT_EQ(text("Edit_Contrl"), QString::fromUtf8("Выполнено"));
  // At line rate: five frames, one every 25 ms.
  EXPECT_LE(h->clock().nowMs() - startedAt, 5 * sf::kLineRateMs + 10);
  // Yellow while waiting for a frame, red while reading one.
  EXPECT_TRUE(lampColours.count(TelemetryStream::kWaitingColor.rgb()));
  EXPECT_TRUE(lampColours.count(TelemetryStream::kReadingColor.rgb()));
}

TEST_F(StreamTest, TwoByteHeaderIsDroppedAndAFreshHeaderReadFindsTheNextFrame) {
  // Frames 2 s apart: longer than the gap after which a read gives up.
  start(2000);
  setRam(ram::kHeaterPower, {55});
  whileStreaming([this] {
    if (measurement() != 1) return false;
    // The next frame loses its third header byte and its body: two bytes
    // come, then nothing until the frame after it.
    sim::Faults f;
    f.dropAt = 2;
    f.shortBlockBytes = 0;
    h->ctrl().setFaults(f);
    return true;
  });
  stopAfterFrame(2);
  runStream();

  expectEnded();
  const QStringList log = dataLog();
  ASSERT_EQ(log.size(), 2);
  EXPECT_TRUE(log[1].endsWith(QStringLiteral(" ; 55"))) << log[1].toStdString();
  EXPECT_EQ(h->link().status().code, 0);
  EXPECT_EQ(h->ctrl().received(), (Bytes{kPB, kPB}));
}

TEST_F(StreamTest, StopWhileNoFrameComesEndsWhenTheWaitingReadTimesOut) {
  start();
  qint64 silentFrom = -1;
  qint64 clickedAt = -1;
  whileStreaming([&] {
    if (silentFrom < 0 && measurement() == 2) {
      sim::Faults f;
      f.silent = true;
      h->ctrl().setFaults(f);
      silentFrom = h->clock().nowMs();
      return false;
    }
    // The first time events run after the silence began: the header read
    // has waited its whole time-out.
    if (clickedAt < 0 && silentFrom >= 0 && h->clock().nowMs() > silentFrom) {
      clickedAt = h->clock().nowMs();
      click("Button11");
    }
    liftSilenceLate(clickedAt);
    return false;
  });
  runStream();

  expectEnded();
  // 3 bytes at 30 ms each plus 6000 ms: one read's time-out, no second one.
  EXPECT_EQ(clickedAt - silentFrom, 6090);
  EXPECT_EQ(h->clock().nowMs(), clickedAt);
  EXPECT_EQ(dataLog().size(), 2);
  // Nothing is sent to a controller that sends nothing: the key switches
  // its output on and off.
  EXPECT_EQ(h->ctrl().received(), Bytes{kPB});
}

TEST_F(StreamTest, ShortBlockEndsTheStreamWithItsLinesOnDiskAndTheLinkStatusShown) {
  struct Case {
    const char* block;
    int bodyBytes;  // what comes of the frame after its header
  };
  for (const Case c : {Case{"register block", 10}, Case{"RAM block", sf::kRegisterBytes + 8}}) {
    SCOPED_TRACE(c.block);
    start();
    whileStreaming([&] {
      if (measurement() != 3) return false;
      // The next frame breaks off, and the line stays quiet long enough for
      // the block read to give up.
      sim::Faults f;
      f.shortBlockBytes = c.bodyBytes;
      f.delayAt = sf::kHeaderBytes + c.bodyBytes;
      f.delayMs = 2000;
      h->ctrl().setFaults(f);
      return true;
    });
    runStream();

    expectEnded();
    EXPECT_EQ(h->link().status().code, 1);
    EXPECT_EQ(text("Edit_Contrl"), QString::fromUtf8("ошибка 1 - нет связи с Корундом"));
    EXPECT_EQ(dataLog().size(), 3);
    EXPECT_EQ(text("Edit_NumIzm"), QStringLiteral("3"));
    EXPECT_EQ(h->ctrl().received(), Bytes{kPB});
  }
}

TEST_F(StreamTest, LineThatTakesNoKeyCodeEndsTheStreamBeforeItsFirstRead) {
  start();
  sim::Faults f;
  f.portGone = true;
  h->ctrl().setFaults(f);
  const int readsBefore = h->harness().port()->readCount();
  runStream();
  expectEnded();
  EXPECT_EQ(h->harness().port()->readCount(), readsBefore);
  EXPECT_EQ(text("Edit_Contrl"), QString::fromUtf8("ошибка 255 - не записалось в буфер порта"));
  EXPECT_TRUE(dataLog().isEmpty());
}

// A stream that loses its port ends at once, wherever in the frame the loss
// finds it, and says so once; its log ends with the gap's line.
TEST_F(StreamTest, PortLostDuringTheStreamEndsItOnceInsteadOfWaitingForEver) {
  struct Case {
    const char* where;
    QColor lampAtLoss;  // the header read next, or the frame's blocks
  };
  for (const Case c : {Case{"between frames", TelemetryStream::kWaitingColor},
                       Case{"inside a frame", TelemetryStream::kReadingColor}}) {
    SCOPED_TRACE(c.where);
    start();
    h->messages.shown.clear();
    int looksAfterLoss = -1;
    whileStreaming([&] {
      if (looksAfterLoss < 0 && measurement() >= 3 && lamp() == c.lampAtLoss) {
        sim::Faults f;
        f.portGone = true;
        h->ctrl().setFaults(f);
        looksAfterLoss = 0;
      } else if (looksAfterLoss >= 0 && ++looksAfterLoss == 1000) {
        click("Button11");  // a stream that spins: end it, the test fails below
      }
      return false;
    });
    runStream();
    QCoreApplication::processEvents();  // what is told after the exchange

    expectEnded();
    EXPECT_LT(looksAfterLoss, 1000) << "the stream kept reading a lost port";
    EXPECT_EQ(h->messages.shown.filter(TelemetryStream::lineLostText()).size(), 1)
        << h->messages.shown.join('|').toStdString();
    const QStringList log = dataLog();
    ASSERT_EQ(log.size(), measurement() + 1);
    EXPECT_TRUE(plot::loggap::isGapLine(QStringView(log.last()))) << log.last().toStdString();
    EXPECT_EQ(h->ctrl().received(), Bytes{kPB}) << "no key code for a port that is gone";
  }
}

TEST_F(StreamTest, OtherExchangesDuringTheStreamDoNotReachTheWire) {
  start();
  auto& ramWindow = h->console().window<TFormDopRAM>();
  QWidget* ramRead = ramWindow.findChild<QWidget*>(QStringLiteral("Button6"));
  ASSERT_NE(ramRead, nullptr);
  bool tried = false;
  whileStreaming([&] {
    if (measurement() != 2) return false;
    click("Button12");      // Чтение коэффициентов
    click("Button13");      // Чтение зад. температуры
    press("Button33");      // Обновить
    press("ShapeProgTop");  // a panel key and its read-out
    release("ShapeProgTop");
    release("Button1");                          // a plain key
    release("Button7");                          // the RAM output switch
    press("ShapePuskStopTop");                   // Пуск
    QTest::mousePress(ramRead, Qt::LeftButton);  // a tool window
    h->panel().Timer1Tick();                     // the link light's read-out
    tried = true;
    return true;
  });
  stopAfterFrame(3);
  runStream();

  ASSERT_TRUE(tried);
  expectEnded();
  EXPECT_EQ(h->ctrl().received(), (Bytes{kPB, kPB}));
  EXPECT_EQ(dataLog().size(), 3);
  EXPECT_EQ(h->console().run().RamOutEnabled, 1);
  EXPECT_EQ(h->console().run().PuskFlag, 0);
  // The link light's tick was put off, not lost.
  EXPECT_TRUE(h->panel().timer1()->isActive());
  EXPECT_EQ(h->panel().timer1()->interval(), kBusyRetryMs);
  h->panel().timer1()->stop();
  // Once the stream has ended the same click exchanges.
  click("Button13");
  EXPECT_GT(h->ctrl().received().size(), 2u);
}

TEST_F(StreamTest, PbDuringAHeatingRunIsRefusedWithAMessage) {
  start();
  // A run of the PID work window that keeps no log holds the line.
  auto& pidWindow = h->console().window<TFormRabPID>();
  pidWindow.findChild<QCheckBox*>(QStringLiteral("CheckBox1"))->setChecked(false);
  QTest::mousePress(pidWindow.findChild<QWidget*>(QStringLiteral("Button1")), Qt::LeftButton);
  ASSERT_EQ(h->console().run().PidRunActive, 1);
  h->ctrl().clearLogs();
  runStream();
  EXPECT_EQ(h->messages.shown, QStringList{TelemetryStream::runActiveText()});
  EXPECT_EQ(h->ctrl().received(), Bytes{});
  EXPECT_TRUE(w("Button6")->isEnabled());
  EXPECT_FALSE(h->link().dataLogOpen());
}

TEST_F(StreamTest, ClosingTheWindowEndsTheStreamThenClosesThePortAndFiles) {
  struct Case {
    const char* when;
    bool silent;  // no frame comes when the window is closed
    Bytes sent;
  };
  for (const Case& c :
       {Case{"frames coming", false, {kPB, kPB}}, Case{"no frame coming", true, {kPB}}}) {
    SCOPED_TRACE(c.when);
    start();
    int closedSignals = 0;
    QObject::connect(&h->form1(), &TForm1::closed, [&] { ++closedSignals; });
    qint64 silentFrom = -1;
    qint64 closedAt = -1;
    whileStreaming([&] {
      if (measurement() != 2) return false;
      if (c.silent && silentFrom < 0) {
        sim::Faults f;
        f.silent = true;
        h->ctrl().setFaults(f);
        silentFrom = h->clock().nowMs();
      }
      // Silent: closed while the header read waits in vain.
      if (c.silent && h->clock().nowMs() == silentFrom) return false;
      if (closedAt < 0) {
        closedAt = h->clock().nowMs();
        h->close();
        // The window waits for the stream before it lets go of the port.
        EXPECT_TRUE(h->link().portOpen());
        EXPECT_EQ(closedSignals, 0);
      }
      liftSilenceLate(closedAt);
      return false;
    });
    runStream();
    EXPECT_FALSE(h->form1().parts().telemetry().running());
    QCoreApplication::processEvents();  // the close that waited for the stream

    EXPECT_EQ(closedSignals, 1);
    EXPECT_FALSE(h->form1().isVisible());
    EXPECT_FALSE(h->link().portOpen());
    EXPECT_FALSE(h->link().dataLogOpen());
    EXPECT_EQ(dataLog().size(), 2);
    EXPECT_EQ(h->ctrl().received(), c.sent);
    EXPECT_EQ(h->clock().nowMs(), closedAt);
  }
}

// ---- --show-hidden ------------------------------------------------------------

TEST(ShowHiddenTest, HiddenControlsShowOnlyWhereTheServiceAreaIsOpen) {
  testApplication();
  const char* const hidden[] = {"Button7",  "Button25", "Button26", "Button8", "Button9",
                                "Button10", "Button27", "Button28", "Button29"};
  struct Case {
    const char* what;
    int mode;
    bool unlocked;
    const char* password;  // typed if asked
    bool option;
    bool shown;
  };
  const Case cases[] = {
      {"mode 4, unlocked", 4, true, nullptr, true, true},
      {"mode 4, unlocked by the password", 4, false, "52738416", true, true},
      {"mode 4, wrong password", 4, false, "1", true, false},
      {"mode 3", 3, true, nullptr, true, false},
      {"mode 4 without the option", 4, true, nullptr, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ConsoleHarness h;
    h.start(viewMode(c.mode, c.unlocked));
    if (c.password) h.password = QString::fromLatin1(c.password);
    h.form1().setShowHidden(c.option);
    h.show();
    auto find = [&](const char* name) {
      return h.form1().findChild<QWidget*>(QString::fromLatin1(name));
    };
    for (const char* name : hidden) EXPECT_EQ(!find(name)->isHidden(), c.shown) << name;
    // The RAM output lamp shows only while the output is on.
    QWidget* lamp = find("Shape_Sp");
    EXPECT_TRUE(lamp->isHidden());
    if (!c.shown) continue;
    QTest::mouseRelease(find("Button7"), Qt::LeftButton);
    EXPECT_FALSE(lamp->isHidden());
    QTest::mouseRelease(find("Button7"), Qt::LeftButton);
    EXPECT_TRUE(lamp->isHidden());
  }
}

}  // namespace
}  // namespace calorix::testing
