// A line that goes and comes back, in memory: the lost port is let go, every
// exchange meanwhile fails at once, one protocol file carries the outage, and
// the device is opened again once it is back; what the last exchange found
// of the controller; the device the operator chose in ZaroZ.ini.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>

#include <functional>
#include <vector>

#include "core/Abort.h"
#include "core/ControllerMap.h"
#include "link/Link.h"
#include "link/PortList.h"
#include "tests/support/LinkHarness.h"
#include "tests/support/ScriptPeer.h"

namespace calorix {
namespace {

using testing::LinkHarness;
using testing::traceTexts;

const QString kTraceOn = QStringLiteral("[RS485]\r\nWriteRs485=Enabled\r\n");

// The link on the emulator with what it told the operator.
struct Told {
  explicit Told(LinkHarness& h) {
    h.link().hooks.portLost = [this](const QString& t) { lost << t; };
    h.link().hooks.portBack = [this](const QString& t) { back << t; };
    h.link().hooks.lineStateChanged = [this](LineState s) { states.push_back(s); };
  }
  QStringList lost, back;
  std::vector<LineState> states;
};

void setGone(LinkHarness& h, bool gone) {
  sim::Faults f;
  f.portGone = gone;
  h.ctrl().setFaults(f);
}

QStringList filesIn(const QString& dir) {
  return QDir(dir).entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
}

TEST(LostLine, FailsAtOnceInOneProtocolFileAndComesBackWhenTheDeviceDoes) {
  LinkHarness h;
  Told told(h);
  h.start(kTraceOn);
  Link& link = h.link();
  link.SyncCmd();
  ASSERT_EQ(link.status().code, 0);

  setGone(h, true);
  link.SendPanelKey(ctl::panelKey::kProg);  // finds the loss
  EXPECT_EQ(link.status().code, 255);
  EXPECT_TRUE(link.portLost());
  EXPECT_FALSE(link.portOpen());
  ASSERT_EQ(told.lost.size(), 1);
  EXPECT_TRUE(told.lost[0].contains(link.deviceName()));
  EXPECT_EQ(h.controlStatus.last(), QStringLiteral("Err"));
  // The break-off for the failure that found it, then one file carries on.
  const QString outageFile = link.protocolPath();
  const int filesAtLoss = int(filesIn(link.protocolDir()).size());

  const qint64 t0 = h.clock().nowMs();
  for (int i = 0; i < 3; ++i) {
    link.SyncCmd();
    EXPECT_EQ(link.status().code, 255);
    link.RdRam(ctl::ram::kIndication, 16);
    EXPECT_EQ(link.status().code, 255);
    EXPECT_TRUE(link.RdRaw(4).empty());
    link.RdPidFrame();
    EXPECT_FALSE(link.watchLine()) << "the device is still away";
  }
  EXPECT_EQ(h.clock().nowMs(), t0) << "an exchange waited on a lost line";
  EXPECT_EQ(link.protocolPath(), outageFile);
  EXPECT_EQ(filesIn(link.protocolDir()).size(), filesAtLoss);
  EXPECT_GE(traceTexts(outageFile).filter(QStringLiteral("WriteFile 1 код 05")).size(), 3);
  EXPECT_EQ(told.lost.size(), 1);
  EXPECT_TRUE(told.back.isEmpty());

  setGone(h, false);
  EXPECT_TRUE(link.watchLine());
  ASSERT_EQ(told.back.size(), 1);
  EXPECT_TRUE(told.back[0].contains(link.deviceName()));
  EXPECT_TRUE(link.portOpen());
  EXPECT_FALSE(link.portLost());
  EXPECT_EQ(link.FlagLinkBreak(), 0);
  EXPECT_EQ(link.status().code, 0);
  EXPECT_FALSE(link.watchLine()) << "told once";
  h.ctrl().clearLogs();
  link.RdRam(ctl::ram::kIndication, 16);
  EXPECT_TRUE(link.lastFramedAnswered());
  EXPECT_EQ(h.ctrl().received().size(), 6u);
  EXPECT_EQ(link.protocolPath(), outageFile) << "the return starts no file";

  // The next outage is told again and breaks the file off once again.
  setGone(h, true);
  link.SendPanelKey(ctl::panelKey::kProg);
  link.SendPanelKey(ctl::panelKey::kProg);
  EXPECT_EQ(told.lost.size(), 2);
  EXPECT_EQ(filesIn(link.protocolDir()).size(), filesAtLoss + 1);
  EXPECT_EQ(told.back.size(), 1);
}

TEST(LostLine, AnIdlePortThatHangsUpIsFoundAndAnActionFindsTheDeviceBack) {
  LinkHarness h;
  Told told(h);
  h.start();
  setGone(h, true);
  // Nothing exchanged: the watch finds it, moving no byte.
  h.ctrl().clearLogs();
  EXPECT_FALSE(h.link().watchLine());
  EXPECT_EQ(told.lost.size(), 1);
  EXPECT_TRUE(h.link().portLost());

  // Not while an exchange holds the guard.
  ASSERT_TRUE(h.link().tryBegin());
  setGone(h, false);
  EXPECT_FALSE(h.link().watchLine());
  EXPECT_TRUE(h.link().portLost());
  h.link().end();
  // An action that begins looks first.
  ASSERT_TRUE(h.link().tryBegin());
  EXPECT_TRUE(h.link().portOpen());
  h.link().SyncCmd();
  h.link().end();
  EXPECT_EQ(h.link().status().code, 0);
  EXPECT_EQ(told.back.size(), 1);
  EXPECT_EQ(told.lost.size(), 1);
}

// Each step and the state the last exchange leaves; the hook hears changes only.
TEST(LineStateOfTheController, FollowsWhatTheLastExchangeFound) {
  LinkHarness h;
  Told told(h);
  h.start();
  // The drain at the open judges nothing: a quiet line is not a silent controller.
  EXPECT_EQ(h.link().lineState(), LineState::Answering);
  struct Step {
    const char* name;
    std::function<void()> run;
    LineState after;
  };
  Link& link = h.link();
  const auto faults = [&h](sim::Faults f) { h.ctrl().setFaults(f); };
  const std::vector<Step> steps = {
      {"answered", [&] { link.SyncCmd(); }, LineState::Answering},
      {"silent plain",
       [&] {
         faults({.silent = true});
         link.SyncCmd();
       },
       LineState::Silent},
      {"silent again", [&] { link.SyncCmd(); }, LineState::Silent},
      {"wrong echo still answers",
       [&] {
         faults({.replaceAt = 0, .replaceWith = 0x55});
         link.SyncCmd();
       },
       LineState::Answering},
      {"unheard framed",
       [&] {
         faults({.silent = true});
         link.RdRam(0x60, 1);
       },
       LineState::Silent},
      {"lost",
       [&] {
         faults({.portGone = true});
         link.SyncCmd();
       },
       LineState::NoPort},
      {"back",
       [&] {
         faults({});
         link.watchLine();
       },
       LineState::Answering},
      {"framed answered", [&] { link.RdRam(0x60, 1); }, LineState::Answering},
  };
  for (const Step& s : steps) {
    s.run();
    EXPECT_EQ(link.lineState(), s.after) << s.name;
  }
  EXPECT_EQ(told.states,
            (std::vector<LineState>{LineState::Silent, LineState::Answering, LineState::Silent,
                                    LineState::NoPort, LineState::Answering}));
}

TEST(LineStateOfTheController, APortThatNeverOpenedIsNoPortOnceUsed) {
  LinkHarness h;
  Told told(h);
  h.start(QStringLiteral("[Com port]\r\nNumPort=17\r\n"));
  EXPECT_TRUE(told.states.empty()) << "nothing asked yet";
  h.link().SyncCmd();
  EXPECT_EQ(h.link().lineState(), LineState::NoPort);
  EXPECT_FALSE(h.link().watchLine()) << "a port that never opened is not looked for";
  EXPECT_TRUE(told.lost.isEmpty());
}

// ---- the device ------------------------------------------------------------

TEST(PortDevice, DeviceEntryIsReadWhenThereNeverWrittenAndTheCommandLineWins) {
  struct Case {
    const char* ini;
    const char* override_;
    const char* device;
  };
  const Case cases[] = {
      {"[Com port]\r\nNumPort=3\r\n", "", "/dev/ttyS2"},
      {"[Com port]\r\nNumPort=3\r\nDevice=/dev/ttyUSB7\r\n", "", "/dev/ttyUSB7"},
      {"[Com port]\r\nDevice=\r\n", "", "/dev/ttyS1"},
      {"[Com port]\r\nDevice=/dev/ttyUSB7\r\n", "/dev/pts/9", "/dev/pts/9"},
  };
  for (const Case& c : cases) {
    testing::LinkHarnessOptions options;
    options.portDeviceOverride = QString::fromLatin1(c.override_);
    LinkHarness h(std::move(options));
    h.start(QString::fromLatin1(c.ini));
    EXPECT_EQ(h.link().deviceName(), QString::fromLatin1(c.device)) << c.ini;
    const QString file = h.iniText();
    EXPECT_EQ(file.count(QStringLiteral("Device")), QString::fromLatin1(c.ini).count("Device"))
        << file.toStdString();
  }
}

TEST(PortDevice, TheChoiceIsKeptAndOpenedAtOnceAndAFileThatCannotTakeItChangesNothing) {
  LinkHarness h;
  Told told(h);
  h.start(QStringLiteral("[Com port]\r\nBaudRate=9600\r\n"));
  h.link().SyncCmd();
  setGone(h, true);
  h.link().SyncCmd();  // lost: a choice replaces the port being looked for
  setGone(h, false);
  EXPECT_TRUE(h.link().choosePort(QStringLiteral("/dev/ttyUSB3")));
  EXPECT_EQ(h.link().deviceName(), QStringLiteral("/dev/ttyUSB3"));
  EXPECT_TRUE(h.link().portOpen());
  EXPECT_FALSE(h.link().portLost());
  EXPECT_TRUE(told.back.isEmpty()) << "a choice is no return";
  EXPECT_EQ(h.port()->line().baudRate, 9600);
  IniFile stored(h.iniPath());
  stored.reload();
  EXPECT_EQ(stored.readString("Com port", "Device", {}), QStringLiteral("/dev/ttyUSB3"));
  EXPECT_EQ(stored.readString("Com port", "BaudRate", {}), QStringLiteral("9600"));
  h.link().SyncCmd();
  EXPECT_EQ(h.link().status().code, 0);

  // The next start opens the chosen device.
  h.link().LoadSettings();
  EXPECT_EQ(h.link().deviceName(), QStringLiteral("/dev/ttyUSB3"));

  QFile::remove(h.iniPath());
  ASSERT_TRUE(QDir().mkpath(h.iniPath()));  // a directory: nobody can write the file
  EXPECT_THROW(h.link().choosePort(QStringLiteral("/dev/ttyUSB4")), AbortAction);
  EXPECT_EQ(h.link().deviceName(), QStringLiteral("/dev/ttyUSB3"));
  EXPECT_TRUE(h.link().portOpen());
}

TEST(PortDevice, ALostAdapterIsLookedForUnderItsStableNameFirst) {
  QTemporaryDir dir;
  const QString byId = dir.filePath("by-id");
  ASSERT_TRUE(QDir().mkpath(byId));
  QFile(dir.filePath("ttyUSB0")).open(QIODevice::WriteOnly);
  const QString stable = byId + "/usb-Maker_RS485_A1-if00-port0";
  ASSERT_TRUE(QFile::link(dir.filePath("ttyUSB0"), stable));

  LinkHarness h;
  std::vector<QString> opened;
  VirtualClock& clock = h.clock();
  LinkConfig config;
  config.iniPath = h.iniPath();
  config.dataRoot = h.dataRoot();
  config.portDeviceOverride = dir.filePath("ttyUSB0");
  config.clock = &clock;
  config.stableNamesDir = byId;
  bool present = true;
  MemoryPort* port = nullptr;
  auto open = memoryPortOpener(h.ctrl(), clock, [&](MemoryPort& p) { port = &p; });
  config.openPort = [&](const QString& device) -> std::unique_ptr<Port> {
    opened.push_back(device);
    return present ? open(device) : nullptr;
  };
  Link link(std::move(config));
  link.LoadSettings();
  ASSERT_NE(port, nullptr);
  port->setGone(true);
  present = false;
  link.SyncCmd();
  ASSERT_TRUE(link.portLost());
  EXPECT_FALSE(link.watchLine());
  present = true;
  EXPECT_TRUE(link.watchLine());
  EXPECT_EQ(opened, (std::vector<QString>{dir.filePath("ttyUSB0"), stable, dir.filePath("ttyUSB0"),
                                          stable}));
}

TEST(PortList, StableNamesFollowLinksOnBothSides) {
  QTemporaryDir dir;
  const QString byId = dir.filePath("by-id");
  ASSERT_TRUE(QDir().mkpath(byId));
  for (const char* dev : {"ttyUSB0", "ttyUSB1"})
    QFile(dir.filePath(dev)).open(QIODevice::WriteOnly);
  ASSERT_TRUE(QFile::link(dir.filePath("ttyUSB1"), byId + "/usb-B"));
  ASSERT_TRUE(QFile::link(dir.filePath("ttyUSB0"), byId + "/usb-A"));
  ASSERT_TRUE(QFile::link(dir.filePath("ttyUSB0"), dir.filePath("alias")));
  EXPECT_EQ(stableNameFor(dir.filePath("ttyUSB0"), byId), byId + "/usb-A");
  EXPECT_EQ(stableNameFor(dir.filePath("alias"), byId), byId + "/usb-A");
  EXPECT_EQ(stableNameFor(byId + "/usb-B", byId), QString()) << "already stable";
  EXPECT_EQ(stableNameFor(dir.filePath("ttyS0"), byId), QString());
  EXPECT_EQ(stableNameFor(dir.filePath("ttyUSB0"), dir.filePath("none")), QString());

  const std::vector<PortEntry> ports = {
      {"ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A1B2", byId + "/usb-A"},
      {"ttyS0", "/dev/ttyS0", "", "", "", ""}};
  EXPECT_EQ(portListText(ports), QStringLiteral("%1/usb-A\n"
                                                "    system name: ttyUSB0\n"
                                                "    device: /dev/ttyUSB0\n"
                                                "    description: FT232R USB UART\n"
                                                "    maker: FTDI\n"
                                                "    serial number: A1B2\n"
                                                "/dev/ttyS0\n"
                                                "    system name: ttyS0\n")
                                     .arg(byId));
  EXPECT_EQ(portListJson(ports)[0].toObject()["device"].toString(), byId + "/usb-A");
  EXPECT_EQ(portListJson(ports)[1].toObject()["device"].toString(), "/dev/ttyS0");
}

}  // namespace
}  // namespace calorix
