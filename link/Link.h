#pragma once
// The one link to the controller: settings, serial port, the plain echoed
// commands, the framed traced commands, the exchange trace and the data log.
// One Link exists for the program; every window exchanges through it. It
// includes no widget: where a main-window field must show something, it calls
// a hook.
//
// Everything is blocking and runs on the UI thread. Failures of exchanges are
// left in `status` and never thrown; file errors throw AbortAction so that the
// action in progress ends and its handler shows the message.
#include <QFile>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/Clock.h"
#include "link/IniFile.h"
#include "link/Port.h"
#include "link/Settings.h"

namespace calorix {

struct LinkStatus {
  int code = 0;
  QString text;
};

namespace status_text {
// The exact texts of the link status.
QString done();            // 0 "Выполнено"
QString noAnswerBoards();  // 1 "ошибка 1 - нет связи с платами Корунда"
QString noAnswer();        // 1 "ошибка 1 - нет связи с Корундом"
QString refused();         // 2 "ошибка 2 - команда не выполнена"
QString unknown();         // 254 "ошибка 254 - неизвестная ошибка"
QString writeFailed();  // 255 "ошибка 255 - не записалось в буфер порта"
// Codes 3..6 belong to the table but no reply byte selects them yet.
QString reserved(int code);
}  // namespace status_text

struct LinkHooks {
  // Edit_Contrl of the main window: "Err" after a failed open, the status
  // text after SendKeyCode / SendRamOutKey.
  std::function<void(const QString&)> showControlStatus;
  // Edit1 / Edit2 of the main window: the two 16-bit halves WrDWord sends.
  std::function<void(quint16 high, quint16 low)> showDWordHalves;
  // A notice at start-up that does not stop it (a DataPid out of range).
  std::function<void(const QString&)> notice;
};

struct LinkConfig {
  QString iniPath;             // ZaroZ.ini beside the executable
  QString dataRoot;            // folder under which drive letters map (C: -> dataRoot/drive_c)
  QString portDeviceOverride;  // --port-device: replaces the device of NumPort
  PortOpener openPort;         // the backend
  Clock* clock = nullptr;      // not owned
};

class Link {
 public:
  explicit Link(LinkConfig config);
  ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  LinkHooks hooks;

  // ---- settings and start-up -------------------------------------------
  // Protocol sub-directory name, OpenPort, the entries of "Vid prog",
  // "Data PID", "Dir", "RS485", the protocol switch, MakeLogDirs and
  // OpenProtocol. Throws AbortAction on a file error (the caller then skips
  // the title).
  void LoadSettings();
  const Settings& settings() const { return settings_; }
  IniFile& ini() { return *ini_; }
  // "   " + DirAll + "  Com " + port number text.
  QString titleSuffix() const;
  Clock& clock() { return *config_.clock; }
  // Where a stored path such as "C:\Данные Pidа" lives on this machine.
  QString hostPath(const QString& stored) const;

  // ---- serial port -------------------------------------------------------
  void OpenPort();
  void DrainPort();
  void ClosePort();
  bool portOpen() const { return port_ != nullptr; }
  QString deviceName() const { return device_; }
  // Raw transfers of TransferCount bytes; the count moved lands in TransferDone.
  bool RawWrite(const std::uint8_t* data);
  std::uint32_t RawRead(std::uint8_t* data);
  void PurgePort();

  // ---- plain echoed commands ---------------------------------------------
  void ChkReply(std::uint8_t expected);
  void SyncCmd();
  void RdByteCmd(quint16 addr, std::uint8_t& value);
  void WrByteCmd(quint16 addr, std::uint8_t value);
  void RdByte(quint16 addr, std::uint8_t& value);
  void RdWord(quint16 addr, quint16& value);
  void RdDWord(quint16 addr, qint32& value);
  void WrDWord(quint16 addr, qint32 value);
  void WrBlock(std::uint8_t count, quint16 addr);
  void RdBlock(std::uint8_t count, quint16 addr);
  void SendKeyCode(std::uint8_t code);
  void SendRamOutKey();

  // ---- framed traced commands ------------------------------------------
  void SetRegBits(std::uint8_t reg, std::uint8_t orMask, std::uint8_t andMask);
  void WrRam(quint16 addr, std::uint8_t count);
  void RdRam(quint16 addr, std::uint8_t count);
  void WrProgMem(quint16 addr, std::uint8_t count);
  void RdProgMem(quint16 addr, std::uint8_t count);
  void SendPanelKey(std::uint8_t code);
  void RomPageCmd9(quint16 addr);
  void RomPageCmd10(quint16 addr);
  void RomPageCmd11(quint16 addr);
  void RdRom(quint16 addr, std::uint8_t count);
  void RdPidFrame();

  // ---- exchange trace and data log -------------------------------------
  void MakeLogDirs();
  void OpenProtocol();
  void CloseProtocol();
  void WriteProtocol(const QString& text);
  // A stamped line straight into the protocol file, whatever the switch says.
  void WriteProtocolDirect(const QString& text);
  bool TracedWrite(const QString& label);
  void TracedRead(const QString& label);
  void OpenDataLog();
  void CloseDataLog();
  bool dataLogOpen() const { return dataLog_.isOpen(); }
  // One line (CR LF added) appended to the data log; nothing when it is closed.
  void WriteDataLog(const QString& line);
  // The telemetry line: LineStamp, then " ; " before each of the eight texts
  // (EditTempTP, EditPUV, EditDUV, EditIUV, EditAllUV, EditTecErr, EditSumErr,
  // EditPN); the first "." of texts 2..4 becomes ",".
  void WriteDataLine(const std::array<QString, 8>& fields);
  void MakeFileStamp();
  void MakeTimeStamps();
  QString dataDir() const { return dataDir_; }
  QString protocolDir() const { return protocolDir_; }
  QString protocolPath() const { return protocolFile_.fileName(); }
  QString dataLogPath() const { return dataLog_.fileName(); }
  void setProtocolOn(bool on) { settings_.protocolOn = on; }

  // ---- exchange guard ----------------------------------------------------
  // Exchanges never interleave: an action holds the guard for its whole
  // length, including while it lets pending events run.
  bool busy() const { return busy_ > 0; }
  bool tryBegin() {
    if (busy_ > 0) return false;
    ++busy_;
    return true;
  }
  void end() { --busy_; }

  // ---- shared state (names as the controller's documents use them) -----
  LinkStatus status;
  std::uint8_t FlagLinkBreak = 0;
  std::uint32_t TransferCount = 0;
  std::uint32_t TransferDone = 0;
  std::array<std::uint8_t, 2> ByteBuf{};
  std::array<std::uint8_t, 8> BlockBuf{};
  std::array<std::uint8_t, 4> LastReadBytes{};
  std::array<std::uint8_t, 512> FrameBuf{};
  std::array<std::uint8_t, 512> ReadBuf{};
  std::array<std::uint8_t, 512> WriteBuf{};
  std::array<std::uint8_t, 512> RamMirror{};
  QString ProtocolLine;
  QString LineStamp;  // "HH:MM:SS "
  QString ProtStamp;  // "HH:MM:SS:hh "
  QString FileStamp;  // "HH_MM_SS"
  QString ProtocolSubdir = "RS485";

 private:
  // Sends one frame byte through TracedWrite; false (status 255) on failure.
  bool sendFrameByte(std::uint8_t byte, const QString& label, bool readReply);
  // One echoed byte exchange of the plain protocol; false ends the command.
  bool echoed(std::uint8_t byte, bool commandByte);
  void breakOffAfterError();
  QString newLogFileName(const QString& dir);
  void appendLine(QFile& file, const QString& line);
  void flushFiles();
  // Runs one framed command. Its trace lines collect in the file buffer and
  // reach the disk together when it ends, returned or thrown: one write per
  // command instead of one per line.
  void tracedCommand(const std::function<void()>& command);

  LinkConfig config_;
  Settings settings_;
  std::unique_ptr<IniFile> ini_;
  std::unique_ptr<Port> port_;
  QString device_;
  QString dataDir_;
  QString protocolDir_;
  QFile protocolFile_;
  QFile dataLog_;
  // Kept here: asking the open file its size would flush it and stat it.
  qint64 protocolSize_ = 0;
  int commandDepth_ = 0;
  int busy_ = 0;
};

}  // namespace calorix
