#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/Abort.h"
#include "tests/support/LinkHarness.h"

namespace calorix {
namespace {

using testing::LinkHarness;

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

TEST(LoadSettings, NoFileWritesEveryDefaultAndUsesPortTwoWithTwoStopBits) {
  LinkHarness h;
  h.start();
  const QString expected = QString::fromUtf8(
      "[Com portD]\r\nNumPort=2\r\nStopBits=2\r\n\r\n"
      "[Com port]\r\nBaudRate=115200\r\nByteSize=8\r\n\r\n"
      "[Vid "
      "prog]\r\nVidprog=1\r\nCodeProg1=28316457\r\nCodeProg2=6143872\r\nCodeProg3=3870615\r\n\r\n"
      "[Data PID]\r\nDataPid=310\r\n\r\n"
      "[Dir]\r\nDirAll=C:\\Данные Pidа\r\nDirProtocol=Протоколы\r\n\r\n"
      "[RS485]\r\nWriteRs485=Disable\r\n");
  EXPECT_EQ(h.iniText(), expected);
  EXPECT_TRUE(fileBytes(h.iniPath()).contains("DirAll=C:\\\xC4\xE0\xED\xED\xFB\xE5 Pid\xE0\r\n"));
  const Settings& s = h.link().settings();
  EXPECT_EQ(s.numPort, 2);
  EXPECT_EQ(s.stopBits, 2);
  EXPECT_FALSE(s.protocolOn);
  EXPECT_EQ(h.link().deviceName(), "/dev/ttyS1");
  ASSERT_NE(h.port(), nullptr);
  EXPECT_EQ(h.port()->line().stopBits, 2);
  EXPECT_EQ(h.link().titleSuffix(), QString::fromUtf8("   C:\\Данные Pidа  Com 2"));
}

TEST(LoadSettings, EntryRulesAndSentinels) {
  LinkHarness h;
  h.start(QString::fromUtf8(
      "; service notes stay\r\n[Com portD]\r\nNumPort=5\r\n[Vid prog]\r\nVidProg=abc\r\n"
      "CodeProg1=61829374\r\nCodeProg3=57206148\r\n[Dir]\r\nDirAll = 123 \r\n"
      "DirProtocol=Логи\r\n[RS485]\r\nWriteRs485=enabled\r\n[Other]\r\nKey=Value\r\n"));
  const Settings& s = h.link().settings();
  EXPECT_EQ(s.numPort, 2);  // "Com portD" never reaches the port
  EXPECT_EQ(s.vidProg, 1);
  EXPECT_EQ(s.codes, (std::array<qint32, 3>{61829374, 6143872, 57206148}));
  EXPECT_EQ(s.dirAll, QString::fromUtf8("C:\\Данные Pidа"));
  EXPECT_EQ(s.dirProtocol, QString::fromUtf8("Логи"));
  EXPECT_FALSE(s.protocolOn);
  IniFile& ini = h.link().ini();
  EXPECT_EQ(ini.readString("vid prog", "VIDPROG", ""), "1");
  EXPECT_EQ(ini.readString("RS485", "WriteRs485", ""), "enabled");
  EXPECT_EQ(ini.readString("Com portD", "NumPort", ""), "2");  // the default goes there again
  const QString text = h.iniText();
  EXPECT_TRUE(
      text.startsWith("; service notes stay\r\n[Com portD]\r\nNumPort=2\r\nStopBits=2\r\n"));
  EXPECT_TRUE(text.contains(
      "Vidprog=1\r\nCodeProg1=61829374\r\nCodeProg3=57206148\r\nCodeProg2=6143872\r\n"));
  EXPECT_TRUE(text.contains("[Other]\r\nKey=Value\r\n"));
}

TEST(LoadSettings, EnabledSwitchesTheProtocolOnAndDataPidOutOfRangeIsNoticed) {
  LinkHarness h;
  h.start("[RS485]\nWriteRs485=Enabled\n[Data PID]\nDataPid=600\n");
  EXPECT_TRUE(h.link().settings().protocolOn);
  EXPECT_EQ(h.link().settings().dataPid, 310);
  EXPECT_EQ(h.link().ini().readInt("Data PID", "DataPid", 0), 600);
  ASSERT_EQ(h.notices.size(), 1);
  EXPECT_TRUE(h.notices[0].contains("600"));
}

TEST(LoadSettings, AnUnwritableFileAbandonsWithItsFullName) {
  LinkHarness h;
  // A directory where the file should be cannot be replaced, even by root.
  ASSERT_TRUE(QDir().mkpath(h.iniPath() + "/keep"));
  try {
    h.link().LoadSettings();
    ADD_FAILURE() << "no file error";
  } catch (const AbortAction& abandoned) {
    EXPECT_EQ(abandoned.message(),
              "Unable to write to " + QFileInfo(h.iniPath()).absoluteFilePath());
  }
  EXPECT_TRUE(QFileInfo(h.iniPath() + "/keep").isDir());  // nothing lost
  EXPECT_FALSE(h.link().portOpen());                      // the rest of start-up did not run
}

TEST(HostPath, DriveLettersMapUnderTheDataRoot) {
  LinkHarness h;
  EXPECT_EQ(h.link().hostPath(QString::fromUtf8("C:\\Данные Pidа")),
            h.dataRoot() + QString::fromUtf8("/drive_c/Данные Pidа"));
  EXPECT_EQ(h.link().hostPath("D:\\a\\b"), h.dataRoot() + "/drive_d/a/b");
  EXPECT_EQ(h.link().hostPath("/var/log/x"), "/var/log/x");
}

}  // namespace
}  // namespace calorix
