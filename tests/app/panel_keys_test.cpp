// The wire bytes of the panel keys, the encoder, "<" / ">" and the plain key buttons.
#include "tests/app/panel_fixture.h"

namespace calorix::testing {
namespace {

using KeysTest = PanelTest;

TEST_F(KeysTest, DrawnKeysSendTheirCodeOnceAtThePressAndReadThePanelOnRelease) {
  struct Key {
    const char* top;
    std::uint8_t code;
    Qt::MouseButton button;
  };
  for (const Key& k :
       {Key{"ShapeEncoderTop", 0x80, Qt::LeftButton}, Key{"ShapeProgTop", 0x02, Qt::LeftButton},
        Key{"ShapeStupTop", 0x04, Qt::RightButton}, Key{"ShapeParamTop", 0x08, Qt::MiddleButton}}) {
    SCOPED_TRACE(k.top);
    h.ctrl().clearLogs();
    QWidget* top = w(k.top);
    const QPoint rest = top->pos();
    press(k.top, k.button);
    QCoreApplication::processEvents();
    h.clock().advance(2000);  // held down: nothing more is sent
    EXPECT_EQ(received(), panelKeyFrame(k.code));
    EXPECT_GT(top->pos().x(), rest.x());
    EXPECT_GT(top->pos().y(), rest.y());
    release(k.top, k.button);
    EXPECT_EQ(top->pos(), rest);
    EXPECT_EQ(received(), cat({panelKeyFrame(k.code), readOutFrames()}));
  }
  const QStringList lines = notesAmong({QString::fromUtf8("посылка кода вкл ступени"),
                                        QString::fromUtf8("конец посылки кода вкл ступени")});
  const int begin = lines.indexOf(QString::fromUtf8("посылка кода вкл ступени"));
  ASSERT_GE(begin, 0);
  EXPECT_EQ(lines[begin + 1], QString::fromUtf8("конец посылки кода вкл ступени"));
}

TEST_F(KeysTest, ArrowsSendCodeAndZeroThenReadThePanelAfterTheRelease) {
  for (const auto& [name, code] :
       {std::pair{"Button21", std::uint8_t(0x20)}, std::pair{"Button22", std::uint8_t(0x40)}}) {
    h.ctrl().clearLogs();
    press(name);
    EXPECT_EQ(received(), cat({panelKeyFrame(code), panelKeyFrame(0x00)}));
    const qint64 released = h.clock().nowMs();
    release(name);
    EXPECT_GE(h.clock().nowMs() - released, 100 + 300);  // the wait and three read-out pauses
    EXPECT_EQ(received(), cat({panelKeyFrame(code), panelKeyFrame(0x00), readOutFrames()}));
  }
}

TEST_F(KeysTest, PlainKeyButtonsSendOnMouseReleaseOnlyAndNothingFromTheKeyboard) {
  const std::pair<const char*, std::uint8_t> keys[] = {{"Button1", 0x01},
                                                       {"Button2", 0x02},
                                                       {"Button3", 0x04},
                                                       {"Button4", 0x08},
                                                       {"Button5", 0x10}};
  for (const auto& [name, code] : keys) {
    SCOPED_TRACE(name);
    h.ctrl().clearLogs();
    QWidget* b = w(name);
    b->setFocus();
    QTest::keyClick(b, Qt::Key_Space);
    QTest::keyClick(b, Qt::Key_Return);
    EXPECT_EQ(received(), Bytes{});
    press(name);
    EXPECT_EQ(received(), Bytes{});
    release(name);
    EXPECT_EQ(received(), Bytes{code});
  }
  EXPECT_EQ(text("Edit_Contrl"), QString::fromUtf8("Выполнено"));
}

TEST_F(KeysTest, RamOutKeyTogglesTheFlagAndTheLampAndPbSendsItsCode) {
  QWidget* lamp = w("Shape_Sp");
  EXPECT_TRUE(w("Button7")->isHidden());
  release("Button6");
  EXPECT_EQ(received(), Bytes{0x20});
  h.ctrl().clearLogs();
  release("Button7");
  EXPECT_EQ(received(), (Bytes{0x40, 0x01, 0x40}));
  EXPECT_EQ(run.RamOutEnabled, 1);
  EXPECT_FALSE(lamp->isHidden());
  int streams = 0;
  StreamKeys keys = parts->telemetry().keys();
  keys.run = [&] { ++streams; };
  service->setStreamKeys(keys);
  release("Button6");
  EXPECT_EQ(streams, 1);
  release("Button7");
  EXPECT_EQ(run.RamOutEnabled, 0);
  EXPECT_TRUE(lamp->isHidden());
}

}  // namespace
}  // namespace calorix::testing
