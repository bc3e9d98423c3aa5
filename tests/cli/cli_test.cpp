// The command line itself: options, numbers, RAM reads and writes, and how
// the link is opened (settings read and left alone, protocol only when on).
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/cli/CliRig.h"

namespace calorix {
namespace {

using testing::CliRig;

TEST(CliLine, UnusableLinesAreRefusedWithOneLineAndNothingSent) {
  QStringList tooMany{"write-ram", "0"};
  for (int i = 0; i < 251; ++i) tooMany << "1";
  const struct {
    QStringList args;
    const char* message;
  } cases[] = {
      {{}, "no command given"},
      {{"frob"}, "unknown command 'frob'"},
      {{"--frob", "verify", "x"}, "unknown option '--frob'"},
      {{"backup"}, "usage: calorix-cli backup FILE"},
      {{"read-ram", "1"}, "usage: calorix-cli read-ram ADDR COUNT"},
      {{"verify", "x", "--port-device"}, "--port-device needs a value"},
      {{"--json=yes", "verify", "x"}, "--json takes no value"},
      {{"--force", "verify", "x"}, "--force belongs to backup"},
      {{"read-ram", "$", "4"}, "'$' is not a valid integer value"},
      {{"read-ram", "0x10000", "1"}, "ADDR 0x10000 is outside 0..65535"},
      {{"read-ram", "0", "0"}, "COUNT 0 is outside 1..255"},
      {{"read-ram", "0", "$100"}, "COUNT $100 is outside 1..255"},
      {{"write-ram", "0", "-1"}, "BYTE -1 is outside 0..255"},
      {{"write-ram", "0", "12a"}, "'12a' is not a valid integer value"},
      {tooMany, "251 bytes are too many for one write (at most 250)"},
      {{"write-ram", "0xFFFF", "1", "2"}, "2 byte(s) from 0xFFFF run past 0xFFFF"},
  };
  for (const auto& c : cases) {
    CliRig rig;
    EXPECT_EQ(rig.run(c.args), cli::kExitUsage) << c.args.join(' ').toStdString();
    EXPECT_TRUE(rig.err.startsWith("calorix-cli: " + QString::fromUtf8(c.message)))
        << rig.err.toStdString();
    EXPECT_EQ(rig.linkOpens, 0);
    EXPECT_TRUE(rig.controller.received().empty());
  }
}

TEST(CliLine, HelpListsEveryCommandWithAnExample) {
  CliRig rig;
  EXPECT_EQ(rig.run({"--help"}), cli::kExitOk);
  for (const char* command :
       {"backup", "restore", "verify", "read-ram", "write-ram", "trace", "ports"}) {
    const QRegularExpression entry(QStringLiteral("\n  %1 [^\n]*\n(      [^\n]*\n)*      example: "
                                                  "calorix-cli [^\n]*%1")
                                       .arg(command));
    EXPECT_TRUE(entry.match(rig.out).hasMatch()) << command;
  }
}

TEST(RamCommands, WrittenBytesReachTheControllerAndReadBack) {
  CliRig rig;
  ASSERT_EQ(rig.run({"write-ram", "0xDC", "0x2C", "1"}), cli::kExitOk) << rig.err.toStdString();
  EXPECT_EQ(rig.controller.memory().ram[0xDC], 0x2C);
  EXPECT_EQ(rig.controller.memory().ram[0xDD], 0x01);
  ASSERT_EQ(rig.run({"read-ram", "$DC", "2"}), cli::kExitOk);
  EXPECT_EQ(rig.out, QStringLiteral("0x00DC  2C 01\n"));

  for (int i = 0; i < 20; ++i) rig.controller.memory().ram[0x60 + i] = std::uint8_t(i);
  ASSERT_EQ(rig.run({"--json", "read-ram", "96", "20"}), cli::kExitOk);
  const QJsonObject result = QJsonDocument::fromJson(rig.out.toUtf8()).object();
  EXPECT_EQ(result["ok"].toBool(), true);
  EXPECT_EQ(result["command"].toString(), "read-ram");
  EXPECT_EQ(result["address"].toInt(), 0x60);
  const QJsonArray bytes = result["bytes"].toArray();
  ASSERT_EQ(bytes.size(), 20);
  EXPECT_EQ(bytes[19].toInt(), 19);
}

TEST(RamCommands, ABlockThatComesBackShortIsAFailureNotData) {
  CliRig rig;
  rig.controller.setFaults({.shortBlockBytes = 3});
  EXPECT_EQ(rig.run({"--json", "read-ram", "0x60", "16"}), cli::kExitLink);
  EXPECT_TRUE(rig.err.contains("RdRam 0x0060 count 16 failed: the controller did not answer"))
      << rig.err.toStdString();
  const QJsonObject result = QJsonDocument::fromJson(rig.out.toUtf8()).object();
  EXPECT_EQ(result["ok"].toBool(), false);
  EXPECT_EQ(result["exitCode"].toInt(), cli::kExitLink);
  EXPECT_FALSE(result.contains("bytes"));
  // With the protocol off there is no protocol to break off: no file appears
  // anywhere, the working directory included.
  EXPECT_FALSE(QDir(rig.path("data")).exists());
  EXPECT_TRUE(QDir::current().entryList({"*_* Data*.txt"}, QDir::Files).isEmpty());
}

TEST(CliLink, SettingsAreReadAndLeftAsTheyWereWithNoLogFoldersWhileTheProtocolIsOff) {
  CliRig rig;
  rig.writeIni("[Com port]\r\nBaudRate=9600\r\n");
  const QByteArray before = rig.fileBytes("ZaroZ.ini");
  ASSERT_EQ(rig.run({"read-ram", "0x60", "4"}), cli::kExitOk) << rig.err.toStdString();
  EXPECT_EQ(rig.fileBytes("ZaroZ.ini"), before);
  ASSERT_TRUE(rig.port);
  EXPECT_EQ(rig.port->line().baudRate, 9600);
  EXPECT_FALSE(QDir(rig.path("data")).exists());
  EXPECT_FALSE(rig.err.contains("traced"));

  QFile::remove(rig.path("ZaroZ.ini"));
  ASSERT_EQ(rig.run({"read-ram", "0x60", "4"}), cli::kExitOk);
  EXPECT_FALSE(QFile::exists(rig.path("ZaroZ.ini")));
}

TEST(CliLink, WithTheProtocolOnTheFramedExchangesAreTraced) {
  CliRig rig;
  rig.writeIni(QStringLiteral("[RS485]\r\nWriteRs485=Enabled\r\n[Dir]\r\nDirAll=%1\r\n")
                   .arg(rig.path("logs")));
  ASSERT_EQ(rig.run({"read-ram", "0x60", "4"}), cli::kExitOk) << rig.err.toStdString();
  const QString protocol = rig.link->protocolPath();
  EXPECT_TRUE(protocol.startsWith(rig.path("logs/RS485/")));
  EXPECT_TRUE(rig.err.contains("exchanges traced in " + protocol));
  QFile file(protocol);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(cp1251::decode(file.readAll()).contains(QString::fromUtf8("WriteFile 1 код 05")));
}

TEST(CliLink, APortThatCannotBeOpenedIsNamed) {
  CliRig rig;
  rig.writeIni("[Com port]\r\nNumPort=17\r\n");
  EXPECT_EQ(rig.run({"read-ram", "0x60", "4"}), cli::kExitLink);
  EXPECT_TRUE(rig.err.contains("NumPort 17 in " + rig.path("ZaroZ.ini") + " names no port"))
      << rig.err.toStdString();
  EXPECT_EQ(rig.run({"--ini", rig.path("other.ini"), "read-ram", "0x60", "4"}), cli::kExitLink);
  EXPECT_TRUE(rig.err.contains("the settings file " + rig.path("other.ini") + " does not exist"));
}

}  // namespace
}  // namespace calorix
