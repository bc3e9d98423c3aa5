// The telemetry frame's decoding without a window, and the line it leaves in
// the data log.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "core/ControllerMap.h"
#include "core/NumberText.h"
#include "link/Link.h"
#include "pid/StreamFrameDecode.h"
#include "tests/support/ScriptPeer.h"

namespace calorix::pid {
namespace {

namespace ram = ctl::ram;
namespace sf = ctl::streamFrame;

struct SeparatorScope {
  explicit SeparatorScope(QChar c) : previous(decimalSeparator()) { setDecimalSeparator(c); }
  ~SeparatorScope() { setDecimalSeparator(previous); }
  QChar previous;
};

// A frame built by RAM address: registers in the register block, the rest in
// the RAM block.
struct Frame {
  std::array<std::uint8_t, sf::kBytes> bytes{};
  Frame& put(int addr, const std::vector<std::uint8_t>& values) {
    for (std::uint8_t v : values) {
      const int at = addr < sf::kRegisterBytes
                         ? sf::kHeaderBytes + addr
                         : sf::kHeaderBytes + sf::kRegisterBytes + (addr - sf::kRamAddress);
      bytes[std::size_t(at)] = v;
      ++addr;
    }
    return *this;
  }
  QString text(const char* name) const {
    for (const FieldText& row : decodeStreamFrame(bytes))
      if (row.name == QLatin1String(name)) return row.text;
    ADD_FAILURE() << "no row " << name;
    return {};
  }
};

// Bytes at a RAM address.
struct Put {
  int addr;
  std::vector<std::uint8_t> bytes;
};

struct Case {
  const char* field;
  const char* text;
  std::vector<Put> puts;
};

TEST(StreamFrame, EachFieldFromItsBytesAndSignFlag) {
  using namespace ctl::sign;
  const std::uint8_t kNegative = ctl::flags::kTotalNegativeStream;
  const Case cases[] = {
      {"EditTempDat", "25,50", {{ram::kRoomFraction, {8, 25}}}},
      {"EditTempDat", "25,6", {{ram::kRoomFraction, {1, 25}}}},
      {"EditTempDat", "25,0", {{ram::kRoomFraction, {0, 25}}}},
      {"Edit23", "564", {{ram::kRawVoltage, {0x34, 0xF2}}}},  // high nibble ignored
      {"Edit24", "12345", {{ram::kNormVoltage, {0x39, 0x30}}}},
      {"Edit25", "400.0000", {{ram::kTempCorrected, {0x00, 0x90, 0x01, 0xFF}}}},  // 24 bits
      {"EditTempTP", "300", {{ram::kTemperatureWhole, {0x2C, 0x01}}}},
      {"EditPK", "1.5000", {{ram::kPK, {0x00, 0x80, 0x01, 0x00}}}},
      {"EditPK", "-1.5000", {{ram::kPK, {0x00, 0x80, 0x01, 0x00}}, {ram::kSigns, {kPK}}}},
      {"EditPK", "--0.5000", {{ram::kPK, {0x00, 0x80, 0xFF, 0xFF}}, {ram::kSigns, {kPK}}}},
      {"EditIK", "-2.0000", {{ram::kIK, {0x00, 0x00, 0x02, 0x00}}, {ram::kSigns, {kIK}}}},
      {"EditDK", "0.2500", {{ram::kDK, {0x00, 0x40, 0x00, 0x00}}, {ram::kSigns, {kIK}}}},
      {"EditPUV", " 2.25", {{ram::kPUV, {0x00, 0x40, 0x02, 0x00}}}},
      // The sign goes before the blank that pads the text to five.
      {"EditPUV", "- 2.25", {{ram::kPUV, {0x00, 0x40, 0x02, 0x00}}, {ram::kSigns, {kPUV}}}},
      {"EditDUV", "-12.00", {{ram::kDUV, {0x00, 0x00, 0x0C, 0x00}}, {ram::kSigns, {kDUV}}}},
      {"EditIUV", " 0.50", {{ram::kIUV, {0x00, 0x80, 0x00, 0x00}}, {ram::kSigns, {kDUV}}}},
      {"EditTecErr", "-640", {{ram::kError, {0x80, 0x02, 0, 0}}, {ram::kSigns, {kError}}}},
      {"EditSumErr",
       "--1",
       {{ram::kErrorSum, {0xFF, 0xFF, 0xFF, 0xFF}}, {ram::kSigns, {kErrorSum}}}},
      {"EditAllUV", "-250", {{ram::kTotalAction, {250, 0, 0, 0}}, {ram::kFlags, {kNegative}}}},
      // Bit 2 signs the total action in the PID frame display, not here.
      {"EditAllUV", "250", {{ram::kTotalAction, {250, 0, 0, 0}}, {ram::kFlags, {0x04}}}},
      {"EditPN", "37", {{ram::kHeaterPower, {37}}}},
  };
  for (const Case& c : cases) {
    Frame f;
    for (const Put& put : c.puts) f.put(put.addr, put.bytes);
    EXPECT_EQ(f.text(c.field), QString::fromUtf8(c.text)) << c.field << " " << c.text;
  }
}

TEST(StreamFrame, RoomSensorUsesACommaWhateverTheRegionalSeparator) {
  SeparatorScope point(u'.');
  Frame f;
  f.put(ram::kRoomFraction, {255, 0x99});  // no bit of the degrees is dropped here
  EXPECT_EQ(f.text("EditTempDat"), "153,1593");
}

TEST(StreamFrame, DataLogLineTakesItsEightFieldsInOrderWithCommasInTheActions) {
  testing::ScriptLink s;
  s.start(false);
  Frame f;
  f.put(ram::kTemperatureWhole, {0x2C, 0x01})
      .put(ram::kPUV, {0x00, 0x40, 0x02, 0x00})
      .put(ram::kIUV, {0x00, 0x80, 0x00, 0x00})
      .put(ram::kDUV, {0x00, 0x00, 0x01, 0x00})
      .put(ram::kTotalAction, {7, 0, 0, 0})
      .put(ram::kError, {3, 0, 0, 0})
      .put(ram::kErrorSum, {4, 0, 0, 0})
      .put(ram::kHeaterPower, {9})
      .put(ram::kSigns, {ctl::sign::kDUV});
  s.link().OpenDataLog();
  s.link().WriteDataLine(streamLogTexts(lookupIn(decodeStreamFrame(f.bytes))));
  const QString line = s.fileText(s.link().dataLogPath());
  // After the stamp "HH:MM:SS ".
  EXPECT_EQ(line.mid(9), QStringLiteral(" ; 300 ;  2,25 ; - 1,00 ;  0,50 ; 7 ; 3 ; 4 ; 9\r\n"));
}

}  // namespace
}  // namespace calorix::pid
