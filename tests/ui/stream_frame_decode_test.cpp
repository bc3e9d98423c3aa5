// The telemetry frame's decoding without a window, and the line it leaves in
// the data log.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>

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
  Frame& put(int addr, std::initializer_list<std::uint8_t> values) {
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

struct Case {
  const char* what;
  std::function<void(Frame&)> fill;
  const char* field;
  const char* text;
};

TEST(StreamFrame, EachFieldFromItsBytesAndSignFlag) {
  const Case cases[] = {
      {"room 25 and 8/256",
       [](Frame& f) {
         f.put(ram::kRoomFraction, {8, 25});
       },
       "EditTempDat", "25,50"},
      {"room fraction 1",
       [](Frame& f) {
         f.put(ram::kRoomFraction, {1, 25});
       },
       "EditTempDat", "25,6"},
      {"room fraction 0",
       [](Frame& f) {
         f.put(ram::kRoomFraction, {0, 25});
       },
       "EditTempDat", "25,0"},
      {"voltage: high nibble ignored",
       [](Frame& f) {
         f.put(ram::kRawVoltage, {0x34, 0xF2});
       },
       "Edit23", "564"},
      {"normalised voltage",
       [](Frame& f) {
         f.put(ram::kNormVoltage, {0x39, 0x30});
       },
       "Edit24", "12345"},
      {"corrected temperature: 24 bits",
       [](Frame& f) {
         f.put(ram::kTempCorrected, {0x00, 0x90, 0x01, 0xFF});
       },
       "Edit25", "400.0000"},
      {"thermocouple whole degrees",
       [](Frame& f) {
         f.put(ram::kTemperatureWhole, {0x2C, 0x01});
       },
       "EditTempTP", "300"},
      {"PK",
       [](Frame& f) {
         f.put(ram::kPK, {0x00, 0x80, 0x01, 0x00});
       },
       "EditPK", "1.5000"},
      {"PK flagged",
       [](Frame& f) {
         f.put(ram::kPK, {0x00, 0x80, 0x01, 0x00}).put(ram::kSigns, {ctl::sign::kPK});
       },
       "EditPK", "-1.5000"},
      {"negative PK flagged: two minus signs",
       [](Frame& f) {
         f.put(ram::kPK, {0x00, 0x80, 0xFF, 0xFF}).put(ram::kSigns, {ctl::sign::kPK});
       },
       "EditPK", "--0.5000"},
      {"IK flag is bit 4",
       [](Frame& f) {
         f.put(ram::kIK, {0x00, 0x00, 0x02, 0x00}).put(ram::kSigns, {ctl::sign::kIK});
       },
       "EditIK", "-2.0000"},
      {"DK takes no other flag",
       [](Frame& f) {
         f.put(ram::kDK, {0x00, 0x40, 0x00, 0x00}).put(ram::kSigns, {ctl::sign::kIK});
       },
       "EditDK", "0.2500"},
      {"PUV: one blank to five characters",
       [](Frame& f) {
         f.put(ram::kPUV, {0x00, 0x40, 0x02, 0x00});
       },
       "EditPUV", " 2.25"},
      {"PUV flagged: the sign before the blank",
       [](Frame& f) {
         f.put(ram::kPUV, {0x00, 0x40, 0x02, 0x00}).put(ram::kSigns, {ctl::sign::kPUV});
       },
       "EditPUV", "- 2.25"},
      {"DUV flag is bit 2",
       [](Frame& f) {
         f.put(ram::kDUV, {0x00, 0x00, 0x0C, 0x00}).put(ram::kSigns, {ctl::sign::kDUV});
       },
       "EditDUV", "-12.00"},
      {"IUV takes no other flag",
       [](Frame& f) {
         f.put(ram::kIUV, {0x00, 0x80, 0x00, 0x00}).put(ram::kSigns, {ctl::sign::kDUV});
       },
       "EditIUV", " 0.50"},
      {"temperature error raw",
       [](Frame& f) {
         f.put(ram::kError, {0x80, 0x02, 0, 0}).put(ram::kSigns, {ctl::sign::kError});
       },
       "EditTecErr", "-640"},
      {"sum of errors raw",
       [](Frame& f) {
         f.put(ram::kErrorSum, {0xFF, 0xFF, 0xFF, 0xFF}).put(ram::kSigns, {ctl::sign::kErrorSum});
       },
       "EditSumErr", "--1"},
      {"total action: bit 6",
       [](Frame& f) {
         f.put(ram::kTotalAction, {250, 0, 0, 0})
             .put(ram::kFlags, {ctl::flags::kTotalNegativeStream});
       },
       "EditAllUV", "-250"},
      {"total action: bit 2 is not its sign here",
       [](Frame& f) {
         f.put(ram::kTotalAction, {250, 0, 0, 0}).put(ram::kFlags, {ctl::flags::kTotalNegativePid});
       },
       "EditAllUV", "250"},
      {"heater power", [](Frame& f) { f.put(ram::kHeaterPower, {37}); }, "EditPN", "37"},
  };
  for (const Case& c : cases) {
    Frame f;
    c.fill(f);
    EXPECT_EQ(f.text(c.field), QString::fromUtf8(c.text)) << c.what;
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
