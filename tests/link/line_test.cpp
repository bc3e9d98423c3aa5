// A line that goes and comes back, in memory: the lost port is let go, every
// exchange meanwhile fails at once, one protocol file carries the outage, and
// the device is opened again once it is back; what the last exchange found
// of the controller; the device the operator chose in ZaroZ.ini.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/Abort.h"
#include "core/ControllerMap.h"
#include "link/Link.h"
#include "link/PortList.h"
#include "tests/support/LinkHarness.h"

namespace calorix {
namespace {

using testing::LinkHarness;

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
  h.ctrl().setFaults({.portGone = gone});
}

qsizetype protocolFiles(const Link& link) {
  return QDir(link.protocolDir()).entryList(QDir::Files).size();
}

TEST(LostLine, FailsAtOnceInOneProtocolFileAndComesBackWhenTheDeviceDoes) {
  LinkHarness h;
  Told told(h);
  h.start(QStringLiteral("[RS485]\r\nWriteRs485=Enabled\r\n"));
  Link& link = h.link();
  setGone(h, true);
  // Found while idle by the watch, which moves no byte.
  EXPECT_FALSE(link.watchLine());
  ASSERT_EQ(told.lost.size(), 1);
  EXPECT_TRUE(told.lost[0].contains(link.deviceName()));
  EXPECT_TRUE(link.portLost());
  EXPECT_FALSE(link.portOpen());

  link.SendPanelKey(ctl::panelKey::kProg);  // breaks the protocol off once
  const QString outageFile = link.protocolPath();
  const qsizetype files = protocolFiles(link);
  const qint64 t0 = h.clock().nowMs();
  for (int i = 0; i < 3; ++i) {
    link.SyncCmd();
    EXPECT_EQ(link.status().code, 255);
    link.RdRam(ctl::ram::kIndication, 16);
    EXPECT_EQ(link.status().code, 255);
    link.RdPidFrame();
    EXPECT_FALSE(link.watchLine()) << "the device is still away";
  }
  EXPECT_EQ(h.clock().nowMs(), t0) << "an exchange waited on a lost line";
  EXPECT_EQ(link.protocolPath(), outageFile);
  EXPECT_EQ(protocolFiles(link), files);
  EXPECT_EQ(told.lost.size(), 1);

  // Not while an exchange holds the guard; an action that begins looks first.
  ASSERT_TRUE(link.tryBegin());
  setGone(h, false);
  EXPECT_FALSE(link.watchLine());
  link.end();
  EXPECT_TRUE(told.back.isEmpty());
  ASSERT_TRUE(link.tryBegin());
  link.end();
  ASSERT_EQ(told.back.size(), 1);
  EXPECT_TRUE(told.back[0].contains(link.deviceName()));
  EXPECT_EQ(link.FlagLinkBreak(), 0);
  EXPECT_EQ(link.status().code, 0);
  EXPECT_FALSE(link.watchLine()) << "told once";
  link.RdRam(ctl::ram::kIndication, 16);
  EXPECT_TRUE(link.lastFramedAnswered());
  EXPECT_EQ(link.protocolPath(), outageFile) << "the return starts no file";

  // The next outage is told again and breaks the file off once again.
  setGone(h, true);
  link.SendPanelKey(ctl::panelKey::kProg);
  link.SendPanelKey(ctl::panelKey::kProg);
  EXPECT_EQ(told.lost.size(), 2);
  EXPECT_EQ(protocolFiles(link), files + 1);
}

// Each step and the state the last exchange leaves; the hook hears changes only.
TEST(LineStateOfTheController, FollowsWhatTheLastExchangeFound) {
  LinkHarness h;
  Told told(h);
  h.start();
  // The drain at the open judges nothing: a quiet line is no silent controller.
  EXPECT_EQ(h.link().lineState(), LineState::Answering);
  enum Do { kSync, kRam, kWatch };
  const struct {
    const char* name;
    sim::Faults faults;
    Do what;
    LineState after;
  } steps[] = {
      {"answered", {}, kSync, LineState::Answering},
      {"silent plain", {.silent = true}, kSync, LineState::Silent},
      {"wrong echo still answers",
       {.replaceAt = 0, .replaceWith = 0x55},
       kSync,
       LineState::Answering},
      {"unheard framed", {.silent = true}, kRam, LineState::Silent},
      {"lost", {.portGone = true}, kSync, LineState::NoPort},
      {"back", {}, kWatch, LineState::Answering},
      {"framed answered", {}, kRam, LineState::Answering},
  };
  for (const auto& s : steps) {
    h.ctrl().setFaults(s.faults);
    if (s.what == kSync) h.link().SyncCmd();
    if (s.what == kRam) h.link().RdRam(0x60, 1);
    if (s.what == kWatch) h.link().watchLine();
    EXPECT_EQ(h.link().lineState(), s.after) << s.name;
  }
  EXPECT_EQ(told.states,
            (std::vector<LineState>{LineState::Silent, LineState::Answering, LineState::Silent,
                                    LineState::NoPort, LineState::Answering}));
}

TEST(PortDevice, DeviceEntryIsReadWhenThereNeverWrittenAndTheCommandLineWins) {
  const struct {
    const char* ini;
    const char* override_;
    const char* device;
  } cases[] = {
      {"[Com port]\r\nNumPort=3\r\n", "", "/dev/ttyS2"},
      {"[Com port]\r\nNumPort=3\r\nDevice=/dev/ttyUSB7\r\n", "", "/dev/ttyUSB7"},
      {"[Com port]\r\nDevice=\r\n", "", "/dev/ttyS1"},
      {"[Com port]\r\nDevice=/dev/ttyUSB7\r\n", "/dev/pts/9", "/dev/pts/9"},
  };
  for (const auto& c : cases) {
    LinkHarness h({.portDeviceOverride = QString::fromLatin1(c.override_)});
    h.start(QString::fromLatin1(c.ini));
    EXPECT_EQ(h.link().deviceName(), QString::fromLatin1(c.device)) << c.ini;
    EXPECT_EQ(h.iniText().count("Device"), QString::fromLatin1(c.ini).count("Device")) << c.ini;
  }
}

TEST(PortDevice, TheChoiceOpensAtTheNextStartAndAFileThatCannotTakeItChangesNothing) {
  LinkHarness h;
  h.start();
  ASSERT_TRUE(h.link().choosePort(QStringLiteral("/dev/ttyUSB3")));
  h.link().LoadSettings();
  EXPECT_EQ(h.link().deviceName(), QStringLiteral("/dev/ttyUSB3"));

  QFile::remove(h.iniPath());
  ASSERT_TRUE(QDir().mkpath(h.iniPath()));  // a directory: nobody can write the file
  EXPECT_THROW(h.link().choosePort(QStringLiteral("/dev/ttyUSB4")), AbortAction);
  EXPECT_EQ(h.link().deviceName(), QStringLiteral("/dev/ttyUSB3"));
  EXPECT_TRUE(h.link().portOpen());
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
}

}  // namespace
}  // namespace calorix
