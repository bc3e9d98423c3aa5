#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

#include <unistd.h>

#include "core/Abort.h"
#include "link/IniFile.h"
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

// A file the settings cannot be read from is reported as such and left as it
// is; nothing is written and the rest of start-up does not run. Root reads
// any file whatever its mode, so that case runs only for other users; a file
// whose every read fails (the process's own memory image) stands in for a bad
// disk everywhere.
TEST(LoadSettings, AnUnreadableFileIsReportedAsARead) {
  struct Case {
    const char* name;
    std::function<QString(LinkHarness&)> prepare;  // the path to use, empty to skip
  };
  const Case cases[] = {
      {"no read permission",
       [](LinkHarness& h) -> QString {
         if (::geteuid() == 0) return QString();
         h.writeIni("[Com port]\r\nNumPort=3\r\n");
         QFile::setPermissions(h.iniPath(), QFileDevice::WriteOwner);
         return h.iniPath();
       }},
      {"every read fails", [](LinkHarness&) { return QStringLiteral("/proc/self/mem"); }},
  };
  for (const Case& c : cases) {
    LinkHarness probe;
    const QString path = c.prepare(probe);
    if (path.isEmpty()) continue;
    IniFile ini(path);
    EXPECT_TRUE(ini.unreadable()) << c.name;
    try {
      ini.requireReadable();
      ADD_FAILURE() << c.name << ": no read error";
    } catch (const AbortAction& abandoned) {
      EXPECT_EQ(abandoned.message(), "Unable to read " + QFileInfo(path).absoluteFilePath())
          << c.name;
    }
    EXPECT_THROW(ini.writeInt("Com port", "NumPort", 2), AbortAction) << c.name;
  }

  LinkHarness h;
  h.writeIni("[Com port]\r\nNumPort=3\r\n");
  if (::geteuid() != 0) {
    QFile::setPermissions(h.iniPath(), QFileDevice::WriteOwner);
    try {
      h.link().LoadSettings();
      ADD_FAILURE() << "no file error";
    } catch (const AbortAction& abandoned) {
      EXPECT_TRUE(abandoned.message().startsWith("Unable to read "))
          << abandoned.message().toStdString();
    }
    EXPECT_FALSE(h.link().portOpen());
    QFile::setPermissions(h.iniPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(fileBytes(h.iniPath()), QByteArray("[Com port]\r\nNumPort=3\r\n"));
  }
}

// A file saved as UTF-8 with the byte-order mark by a text editor: the mark is
// no part of the first section's name, the Cyrillic values read as written,
// and what is written back keeps the mark and the encoding. A file without
// the mark stays Windows-1251.
TEST(LoadSettings, AUtf8FileWithTheMarkIsReadAndWrittenAsUtf8) {
  LinkHarness h;
  const QByteArray saved =
      QByteArray("\xEF\xBB\xBF") + QString::fromUtf8(
                                       "[Com port]\r\nNumPort=3\r\nBaudRate=9600\r\n"
                                       "[Dir]\r\nDirAll=C:\\Данные Pidа\\Печь 2\r\n")
                                       .toUtf8();
  {
    QFile f(h.iniPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(saved);
  }
  h.link().LoadSettings();
  EXPECT_EQ(h.link().settings().numPort, 3);
  EXPECT_EQ(h.link().settings().baudRate, 9600);
  EXPECT_EQ(h.link().settings().dirAll, QString::fromUtf8("C:\\Данные Pidа\\Печь 2"));
  EXPECT_TRUE(h.link().ini().utf8());

  const QByteArray after = fileBytes(h.iniPath());
  ASSERT_TRUE(
      after.startsWith("\xEF\xBB\xBF[Com port]\r\nNumPort=3\r\nBaudRate=9600\r\nByteSize=8\r\n"))
      << after.toStdString();
  EXPECT_EQ(after.count("[Com port]"), 1);  // no second section behind the mark
  EXPECT_EQ(after.count("\xEF\xBB\xBF"), 1);
  const QString text = QString::fromUtf8(after.mid(3));
  EXPECT_TRUE(text.contains(QString::fromUtf8("DirProtocol=Протоколы\r\n"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QString::fromUtf8("DirAll=C:\\Данные Pidа\\Печь 2\r\n")));

  // The same settings without the mark are Windows-1251, read and written.
  LinkHarness plain;
  plain.writeIni(QString::fromUtf8("[Dir]\r\nDirAll=C:\\Данные Pidа\r\n"));
  plain.link().LoadSettings();
  EXPECT_FALSE(plain.link().ini().utf8());
  EXPECT_EQ(plain.link().settings().dirAll, QString::fromUtf8("C:\\Данные Pidа"));
  const QByteArray plainBytes = fileBytes(plain.iniPath());
  EXPECT_FALSE(plainBytes.startsWith("\xEF\xBB\xBF"));
  EXPECT_TRUE(plainBytes.contains("DirProtocol=\xCF\xF0\xEE\xF2\xEE\xEA\xEE\xEB\xFB\r\n"));
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
