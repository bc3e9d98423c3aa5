#pragma once
// The one link to the controller. One Link exists for the program; every
// window, the command-line tool and the tests exchange through it and nothing
// else. It keeps its state to itself: callers hand it bytes and get views and
// answers back, and never write its buffers, counters or status.
//
// What a caller may use, and what it gets back:
//  - Start and end: LoadSettings (settings, port, log directories, protocol
//    file; AbortAction on a file error), titleSuffix, settings(), ini() for
//    the access markers, ClosePort, CloseProtocol.
//  - Plain echoed commands: SyncCmd, RdByte / RdWord / RdDWord (value through
//    the out argument, bytes in LastReadBytes()), WrDWord, WrBlock(addr,
//    bytes), RdBlock(count, addr) -> view of the count bytes of BlockBuf,
//    SendKeyCode, SendRamOutKey. They leave status(): 0 done, 1 no answer,
//    2 refused, 254 unexpected reply, 255 port write failed.
//    lastPlainAnswer() tells how the last block command or byte read was
//    answered: whole, in part, or not at all.
//  - Framed traced commands (their frames: core/FramedCommandTable.h):
//    SetRegBits, WrRam / WrProgMem(addr, bytes),
//    RdRam / RdProgMem / RdRom(addr, count) -> view of ReadBuf[0..count),
//    SendPanelKey, RomPageCmd9/10/11, RdPidFrame (fills RamMirror()). Their
//    status() is 0 or 255 only; lastFramedAnswered() tells whether the last
//    one went out in full and every reply it waits for came back whole.
//    FlagLinkBreak() is 1 once the line has broken; RdRam then stops early.
//  - Raw port: WrRawByte (one byte outside any command; status 0 or 255),
//    RdRaw(count) -> view of what arrived (status untouched),
//    RdStreamBlock(count) -> the same, and a block that comes back short sets
//    status 1 "ошибка 1 - нет связи с Корундом"; DrainPort, PurgePort.
//  - Files: WriteNote (a window's note: ProtocolLine := text, then
//    WriteProtocol), WriteProtocol, WriteProtocolDirect, OpenDataLog,
//    CloseDataLog, WriteDataLog, WriteDataLine, MakeTimeStamps with
//    LineStamp() / ProtStamp(). A file that fails is closed and reported
//    once (AbortAction); a failed protocol stops the tracing until
//    resumeTracing.
//  - The exchange guard: tryBegin / end / busy (link/Action.h runAction).
//  - A lost line: portLost() while the device is away, watchLine() about once
//    a second brings it back (hooks portLost / portBack tell the operator);
//    lineState() says what the last exchange found of the controller.
// A view points into the link's own buffer: the next exchange may change what
// it shows, so take what you need before letting events run.
//
// Everything is blocking and runs on the UI thread. Failures of exchanges are
// left in status() and never thrown; file errors throw AbortAction so that the
// action in progress ends and its handler shows the message. The link includes
// no widget: where a main-window field must show something, it calls a hook.
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "core/Clock.h"
#include "link/FramedCommands.h"
#include "link/IniFile.h"
#include "link/LinkState.h"
#include "link/PlainCommands.h"
#include "link/Port.h"
#include "link/PortList.h"
#include "link/Settings.h"
#include "link/TraceFiles.h"
#include "link/Transport.h"

namespace calorix {

struct LinkConfig {
  QString iniPath;             // ZaroZ.ini beside the executable
  QString dataRoot;            // folder under which drive letters map (C: -> dataRoot/drive_c)
  QString portDeviceOverride;  // --port-device: replaces the device of NumPort
  PortOpener openPort;         // the backend
  Clock* clock = nullptr;      // not owned
  // The command-line tool: missing settings take their defaults in memory and
  // nothing is written back to ZaroZ.ini; the log folders and the protocol
  // file are made only while the protocol switch is on.
  bool settingsReadOnly = false;
  bool protocolOnlyWhenOn = false;
  // How the protocol and the data log reach the disk (not owned); the real
  // file system when null.
  LogFileSystem* files = nullptr;
  // Where the stable names of serial devices live (a lost adapter is looked
  // for under its stable name too).
  QString stableNamesDir = kStableNamesDir;
};

// How often the console looks after the line (Link::watchLine).
inline constexpr int kLineWatchMs = 1000;

class Link {
 public:
  using View = std::span<const std::uint8_t>;

  explicit Link(LinkConfig config);
  ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  LinkHooks hooks;

  // ---- settings and start-up -------------------------------------------
  // OpenPort, the entries of "Vid prog", "Data PID", "Dir", "RS485", the
  // protocol switch, MakeLogDirs and OpenProtocol. Throws AbortAction on a
  // file error (the caller then skips the title).
  void LoadSettings();
  const Settings& settings() const { return settings_; }
  IniFile& ini() { return *ini_; }
  // "   " + DirAll + "  Com " + port number text.
  QString titleSuffix() const;
  Clock& clock() { return *config_.clock; }
  // Where a stored path such as "C:\Данные Pidа" lives on this machine.
  QString hostPath(const QString& stored) const;

  // ---- serial port -------------------------------------------------------
  // Reads the "Com port" entries, opens and sets up the port; status 0 and
  // FlagLinkBreak 0 afterwards. The device is the one NumPort names, or the
  // one "Device" in "Com port" names when that entry is there (it is read
  // only then, never written as a default), or --port-device.
  void OpenPort();
  // The operator chose a device: kept as "Device" in "Com port" and opened at
  // once in place of the port in use (as OpenPort opens it; "Err" when it
  // fails). Throws AbortAction when ZaroZ.ini cannot be written; the port in
  // use then stays. Call it outside any exchange.
  bool choosePort(const QString& device);
  void DrainPort() { transport_.DrainPort(); }
  void PurgePort() { transport_.PurgePort(); }
  void ClosePort() { transport_.close(); }
  bool portOpen() const { return transport_.isOpen(); }
  // The open port's far end went away and the device is not back yet (see
  // LinkHooks::portLost); the port is closed meanwhile.
  bool portLost() const { return transport_.lost(); }
  // Looks after the line between exchanges, moving no byte to the
  // controller: finds a port that hung up while idle, and while the port is
  // lost tries to open the device again (the console calls it every
  // kLineWatchMs, and every action calls it as it begins); once it is back
  // the status code and FlagLinkBreak are 0 as after OpenPort and the
  // operator is told. True when the line came back in this call. Does
  // nothing while an exchange holds the guard.
  bool watchLine();
  LineState lineState() const { return transport_.lineState(); }
  QString deviceName() const { return device_; }
  // One byte straight to the port: status code 0 (text kept), or 255.
  bool WrRawByte(std::uint8_t byte);
  // Up to count bytes straight from the port under the normal time-outs,
  // untraced; the view holds what arrived (none when nothing came).
  View RdRaw(std::uint32_t count);
  // One block of the telemetry stream: as RdRaw, and a block that comes back
  // with some but not all of its bytes sets status 1 "ошибка 1 - нет связи с
  // Корундом".
  View RdStreamBlock(std::uint32_t count);

  // ---- plain echoed commands ---------------------------------------------
  void SyncCmd() { plain_.SyncCmd(); }
  void RdByteCmd(quint16 addr, std::uint8_t& value) { plain_.RdByteCmd(addr, value); }
  void WrByteCmd(quint16 addr, std::uint8_t value) { plain_.WrByteCmd(addr, value); }
  void RdByte(quint16 addr, std::uint8_t& value) { plain_.RdByte(addr, value); }
  void RdWord(quint16 addr, quint16& value) { plain_.RdWord(addr, value); }
  void RdDWord(quint16 addr, qint32& value) { plain_.RdDWord(addr, value); }
  void WrDWord(quint16 addr, qint32 value) { plain_.WrDWord(addr, value); }
  void WrBlock(quint16 addr, View bytes) { plain_.WrBlock(addr, bytes); }
  View RdBlock(std::uint8_t count, quint16 addr) { return plain_.RdBlock(count, addr); }
  void SendKeyCode(std::uint8_t code) { plain_.SendKeyCode(code); }
  void SendRamOutKey() { plain_.SendRamOutKey(); }
  using PlainAnswer = PlainCommands::Answer;
  PlainAnswer lastPlainAnswer() const { return plain_.lastAnswer(); }

  // ---- framed traced commands ------------------------------------------
  void SetRegBits(std::uint8_t reg, std::uint8_t orMask, std::uint8_t andMask) {
    framed_.SetRegBits(reg, orMask, andMask);
  }
  void WrRam(quint16 addr, View bytes) { framed_.WrRam(addr, bytes); }
  View RdRam(quint16 addr, std::uint8_t count) { return framed_.RdRam(addr, count); }
  void WrProgMem(quint16 addr, View bytes) { framed_.WrProgMem(addr, bytes); }
  View RdProgMem(quint16 addr, std::uint8_t count) { return framed_.RdProgMem(addr, count); }
  void SendPanelKey(std::uint8_t code) { framed_.SendPanelKey(code); }
  void RomPageCmd9(quint16 addr) { framed_.RomPageCmd9(addr); }
  void RomPageCmd10(quint16 addr) { framed_.RomPageCmd10(addr); }
  void RomPageCmd11(quint16 addr) { framed_.RomPageCmd11(addr); }
  View RdRom(quint16 addr, std::uint8_t count) { return framed_.RdRom(addr, count); }
  void RdPidFrame();
  bool lastFramedAnswered() const { return framed_.lastAnswered(); }

  // ---- exchange trace and data log -------------------------------------
  void CloseProtocol() { trace_.CloseProtocol(); }
  // After a protocol file failed the tracing stays off until this starts a
  // new file (AbortAction when that fails as well).
  void resumeTracing() { trace_.resumeTracing(); }
  bool tracingStopped() const { return trace_.tracingStopped(); }
  void WriteProtocol(const QString& text) { trace_.WriteProtocol(text); }
  void WriteProtocolDirect(const QString& text) { trace_.WriteProtocolDirect(text); }
  void WriteNote(const QString& text) { trace_.WriteNote(text); }
  void OpenDataLog() { trace_.OpenDataLog(); }
  void CloseDataLog() { trace_.CloseDataLog(); }
  bool dataLogOpen() const { return trace_.dataLogOpen(); }
  void WriteDataLog(const QString& line) { trace_.WriteDataLog(line); }
  void WriteDataLine(const std::array<QString, 8>& fields) { trace_.WriteDataLine(fields); }
  void MakeTimeStamps() { trace_.MakeTimeStamps(); }
  QString dataDir() const { return trace_.dataDir(); }
  QString protocolDir() const { return trace_.protocolDir(); }
  QString protocolPath() const { return trace_.protocolPath(); }
  QString dataLogPath() const { return trace_.dataLogPath(); }

  // ---- what the exchanges left (read only) -----------------------------
  const LinkStatus& status() const { return state_.status; }
  std::uint8_t FlagLinkBreak() const { return state_.FlagLinkBreak; }
  const FramedCommands::Buffer& ReadBuf() const { return framed_.ReadBuf(); }
  const FramedCommands::Buffer& RamMirror() const { return framed_.RamMirror(); }
  const auto& BlockBuf() const { return plain_.BlockBuf(); }
  const auto& LastReadBytes() const { return plain_.LastReadBytes(); }
  const QString& ProtocolLine() const { return trace_.ProtocolLine(); }
  const QString& LineStamp() const { return trace_.LineStamp(); }
  const QString& ProtStamp() const { return trace_.ProtStamp(); }
  const QString& FileStamp() const { return trace_.FileStamp(); }

  // ---- exchange guard ----------------------------------------------------
  // Exchanges never interleave: an action holds the guard for its whole
  // length, including while it lets pending events run.
  bool busy() const { return busy_ > 0; }
  // An action that begins while the port is lost first looks whether the
  // device is back.
  bool tryBegin() {
    if (busy_ > 0) return false;
    watchLine();
    ++busy_;
    return true;
  }
  void end() { --busy_; }

 private:
  LinkConfig config_;
  Settings settings_;
  std::unique_ptr<IniFile> ini_;
  QString device_;
  LinkState state_;
  Transport transport_;
  TraceFiles trace_;
  PlainCommands plain_;
  FramedCommands framed_;
  void openDevice();
  // Where the raw reads land.
  FramedCommands::Buffer rawBuf_{};
  int busy_ = 0;
};

}  // namespace calorix
