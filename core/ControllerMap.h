#pragma once
// The controller's vocabulary, named once: its RAM map, registers and the bits
// the console sets, the codes of both command layers, the key codes, the
// memory regions and the layouts of the frames it sends by itself. The link,
// every window, the command-line tool and the emulator take their numbers from
// here; a raw address or code anywhere else is a second copy waiting to drift.
//
// Multi-byte values in controller memory are little-endian (core/ByteCodec.h).
#include <cstdint>

#include "core/FramedCommandTable.h"

namespace calorix::ctl {

using Addr = std::uint16_t;

// ---- working memory (RAM) ----------------------------------------------------
namespace ram {
// Registers R0..R31 are RAM 0x00..0x1F.
inline constexpr Addr kRegisters = 0x00;
inline constexpr int kRegisterCount = 32;

inline constexpr Addr kFlags = 0x02;  // heater lamp, signs of the total action (flags:: below)
inline constexpr Addr kSigns = 0x03;  // sign flags of the PID quantities (sign:: below)
inline constexpr Addr kIntegralState = 0x07;  // bit 7: "Необход раб с инт сост"
inline constexpr Addr kPhase = 0x08;          // regulator phase (phase:: below)
inline constexpr Addr kBlinkFlags = 0x0B;     // FlagMigInd: which displays blink
inline constexpr Addr kR14 = 0x0E;            // regulator register (reg::kRegulator), shown whole
inline constexpr Addr kR15 = 0x0F;            // shown whole by the PID window

// Panel indication, read as one block of 16 bytes.
inline constexpr Addr kIndication = 0x60;
inline constexpr int kIndicationReadBytes = 16;
inline constexpr Addr kProgramDigits = 0x60;    // two digits
inline constexpr Addr kStageDigits = 0x62;      // two digits
inline constexpr Addr kParameterDigits = 0x64;  // four digits; 0x65 bit 6 is the comma
inline constexpr Addr kHeatingBar = 0x68;       // levels 0..10
inline constexpr Addr kStabilisingBar = 0x69;
inline constexpr Addr kCoolingBar = 0x6A;
inline constexpr Addr kLamps = 0x6C;  // bit 0 "t°C", bit 1 "Мин", bit 2 "°C/мин"
// 0x60..0x6C: what the panel mirror decodes.
inline constexpr int kIndicationShownBytes = 13;

inline constexpr Addr kRoomFraction = 0x70;  // room sensor, fraction byte
inline constexpr Addr kRoomWhole = 0x71;     // room sensor, whole degrees
inline constexpr Addr kRawVoltage = 0x72;    // 16-bit, 12-bit converter value in the low bits
inline constexpr std::uint16_t kRawVoltageMask = 0x0FFF;  // the converter value's bits
inline constexpr Addr kHeaterPower = 0x77;                // final heater power, %
inline constexpr Addr kPowerLimit = 0x7B;                 // heater power limit, %
inline constexpr Addr kProgramNumber = 0x7C;
inline constexpr Addr kStageNumber = 0x7D;
inline constexpr Addr kNormVoltage = 0x7E;   // 16-bit, normalised voltage x 100
inline constexpr Addr kCorrA = 0x80;         // Tкорр = A*T + B: A unsigned 16.16
inline constexpr Addr kCorrB = 0x84;         // B sign-magnitude 16.16
inline constexpr Addr kDelayedStart = 0x88;  // 16-bit delayed-start time
inline constexpr Addr kPK = 0x90;            // 16.16 PID coefficients
inline constexpr Addr kIK = 0x94;
inline constexpr Addr kDK = 0x98;
inline constexpr int kPidCoefBytes = 12;      // PK, IK, DK read and written as one block
inline constexpr Addr kAmplifierGain = 0x9C;  // 16.16 thermocouple amplifier coefficient
inline constexpr Addr kError = 0xA4;          // temperature error, 8-bit fraction
inline constexpr Addr kErrorSum = 0xA8;       // sum of errors, 8-bit fraction
inline constexpr Addr kStabTime = 0xAC;       // 16-bit set stabilisation time of the stage
inline constexpr Addr kSetSpeed = 0xAE;       // 16-bit set heating speed of the stage
inline constexpr Addr kPUV = 0xB0;            // control actions, 16.16 magnitudes
inline constexpr Addr kIUV = 0xB4;
inline constexpr Addr kDUV = 0xB8;
inline constexpr Addr kTotalAction = 0xBC;    // integer magnitude; also the computed power
inline constexpr Addr kTempCorrected = 0xC0;  // corrected thermocouple temperature, 8-bit fraction
inline constexpr Addr kTemperature =
    0xC4;  // current temperature with the room sensor, 8-bit fraction
inline constexpr Addr kTemperatureWhole = 0xC5;  // its whole degrees, 16-bit (telemetry)
inline constexpr Addr kSetTemperature =
    0xDC;                                   // set temperature (32-bit signed for the plain reads)
inline constexpr Addr kSpeedPower = 0x15A;  // 16-bit, 8-bit fraction
inline constexpr Addr kTheoreticalTemp = 0x16C;    // 32-bit, 8-bit fraction
inline constexpr Addr kHeatingSpeed = 0x174;       // sign-magnitude, 8-bit fraction
inline constexpr Addr kSpeedProportional = 0x178;  // 16-bit, 8-bit fraction
inline constexpr Addr kSpeedErrorSum = 0x17C;      // unsigned 16.16

// Bits that belong to the value in the words above.
inline constexpr std::uint8_t kRoomWholeBits = 0x7F;      // bit 7 is no degree (PID display)
inline constexpr std::uint16_t kRawVoltageBits = 0x0FFF;  // the converter's 12 bits

// Widths of two values above as the framed windows read and write them: the
// amplifier coefficient whole, the set temperature as a 16-bit word.
inline constexpr int kAmplifierGainBytes = 4;
inline constexpr int kSetTemperatureFramedBytes = 2;

// RAM window into which the ROM page commands copy a page of programs 18..25.
inline constexpr Addr kRomPageWindow = 0x200;
}  // namespace ram

// Registers the console changes with SetRegBits, and their bits.
namespace reg {
inline constexpr std::uint8_t kRun = 5;              // R5
inline constexpr std::uint8_t kRunPidFrames = 0x04;  // R5 bit 2: PID frames with the run
inline constexpr std::uint8_t kRegulator = 14;       // R14 (RAM 0x0E)
inline constexpr std::uint8_t kOwnCoefs = 0x01;      // R14 bit 0: "Задать к-ты PID"
inline constexpr std::uint8_t kNoPropDecrease = 0x02;  // R14 bit 1: "Запрет уменьшения пропор возд"
inline constexpr std::uint8_t kIntegralSpeedSign = 0x10;  // R14 bit 4: sign of the speed error sum
inline constexpr std::uint8_t kPropSpeedSign = 0x80;      // R14 bit 7: sign of the speed action
// SetRegBits leaves a bit alone with OR 0x00 and AND 0xFF.
inline constexpr std::uint8_t kKeepOr = 0x00;
inline constexpr std::uint8_t kKeepAnd = 0xFF;
}  // namespace reg

// Bits of RAM 0x02.
namespace flags {
inline constexpr std::uint8_t kHeaterOn = 0x02;  // heater lamp; a running stage heats
inline constexpr std::uint8_t kTotalNegativePid =
    0x04;  // sign of the total action, PID frame display
inline constexpr std::uint8_t kTotalNegativeStream =
    0x40;  // the same, as the telemetry stream reads it
}  // namespace flags

// Bits of RAM 0x03: set = negative.
namespace sign {
inline constexpr std::uint8_t kPUV = 0x01;
inline constexpr std::uint8_t kIUV = 0x02;
inline constexpr std::uint8_t kDUV = 0x04;
inline constexpr std::uint8_t kPK = 0x08;
inline constexpr std::uint8_t kIK = 0x10;
inline constexpr std::uint8_t kDK = 0x20;
inline constexpr std::uint8_t kErrorSum = 0x40;
inline constexpr std::uint8_t kError = 0x80;
}  // namespace sign

// Bits of RAM 0x08.
namespace phase {
inline constexpr std::uint8_t kHeating = 0x01;      // "НАГРЕВ"
inline constexpr std::uint8_t kApproach = 0x02;     // "ДОВОДКА"
inline constexpr std::uint8_t kStabilising = 0x04;  // "СТАБИЛИЗАЦИЯ"
}  // namespace phase

// Bits of the indication bytes.
namespace indication {
inline constexpr std::uint8_t kCommaBit = 0x40;  // in the second parameter digit
inline constexpr std::uint8_t kLampDegrees = 0x01;
inline constexpr std::uint8_t kLampMinutes = 0x02;
inline constexpr std::uint8_t kLampSpeed = 0x04;
// Blink flag groups of FlagMigInd.
inline constexpr std::uint8_t kBlinkProgram = 0x03;
inline constexpr std::uint8_t kBlinkStage = 0x0C;
inline constexpr std::uint8_t kBlinkParameter = 0xF0;
inline constexpr std::uint8_t kIntegralWorking = 0x80;  // bit 7 of RAM 0x07
}  // namespace indication

// ---- plain echoed commands ---------------------------------------------------
namespace plain {
inline constexpr std::uint8_t kSync = 0x40;
inline constexpr std::uint8_t kWrByte = 0x02;
inline constexpr std::uint8_t kRdByte = 0x03;
inline constexpr std::uint8_t kWrBlock = 0x04;
inline constexpr std::uint8_t kRdBlock = 0x05;
inline constexpr std::uint8_t kDone = 0x80;     // closes a command the controller has done
inline constexpr std::uint8_t kRefused = 0x81;  // the controller refuses the command
inline constexpr int kMaxBlock = 8;
// A block command's count and address come back before its data.
inline constexpr int kBlockEchoBytes = 3;
// The RAM output switch: sync, this byte, sync, each closed with 0x80.
inline constexpr std::uint8_t kRamOutStep = 0x01;
}  // namespace plain

// One-byte key codes of the plain layer (the service area's key buttons).
namespace plainKey {
inline constexpr std::uint8_t kIncrease = 0x01;  // "Увеличить"
inline constexpr std::uint8_t kDecrease = 0x02;  // "Уменьшить"
inline constexpr std::uint8_t kStage = 0x04;     // "Ступень"
inline constexpr std::uint8_t kBack = 0x08;      // "<="
inline constexpr std::uint8_t kTTN = 0x10;       // "t/T/N"
inline constexpr std::uint8_t kPB = 0x20;        // "P/B": starts and ends the telemetry stream
}  // namespace plainKey

// ---- framed traced commands --------------------------------------------------
// Their codes, frame layout and reply lengths: core/FramedCommandTable.h.

// Key codes of the framed key command (front-panel keys and the encoder).
namespace panelKey {
inline constexpr std::uint8_t kRelease = 0x00;  // sent after "<" and ">"
inline constexpr std::uint8_t kPuskStop = 0x01;
inline constexpr std::uint8_t kProg = 0x02;
inline constexpr std::uint8_t kStup = 0x04;
inline constexpr std::uint8_t kParam = 0x08;
inline constexpr std::uint8_t kLeft = 0x20;   // "<"
inline constexpr std::uint8_t kRight = 0x40;  // ">"
inline constexpr std::uint8_t kEncoder = 0x80;
}  // namespace panelKey

// ---- program memory and ROM: temperature programs ----------------------------
namespace program {
inline constexpr int kCount = 25;
inline constexpr int kLastInProgMem = 17;  // 1..17 in program memory, 18..25 in ROM
inline constexpr int kFirstInRom = 18;
inline constexpr int kStages = 15;
inline constexpr int kStageBytes = 4;
inline constexpr int kBytes = kStages * kStageBytes;  // 60 per program in program memory
inline constexpr Addr kRomBase = 0x7C00;              // program 18
inline constexpr int kRomStride = 64;                 // per program in ROM
inline constexpr int kRomPageBytes = 128;             // two programs to a page
inline constexpr int kRomPages = 4;                   // 0x7C00, 0x7C80, 0x7D00, 0x7D80
// Byte 1 of the records of stages 1..8: two bits each of the stage-0 value.
inline constexpr std::uint8_t kStage0Bits = 0xC0;
}  // namespace program

// ---- the block memory of the plain block commands -----------------------------
namespace block {
inline constexpr int kSize = 0x200;
// Calibration coefficient words, 32-bit each.
inline constexpr int kCoefWordBytes = 4;
inline constexpr Addr kCoefFirst = 0x00;
inline constexpr Addr kAmplifierA = 0x00;  // Uout = A*Uin + B
inline constexpr Addr kAmplifierB = 0x04;
inline constexpr Addr kGain = 0x08;    // 100 / К in 16.16
inline constexpr Addr kCurveA = 0x0C;  // thermocouple curve T(U)
inline constexpr Addr kCurveB = 0x10;
inline constexpr Addr kCurveC = 0x14;
inline constexpr Addr kCurveD = 0x18;
inline constexpr Addr kPidCubics = 0x20;  // AP BP CP DP, AD .. DD, AI .. DI: 12 words
inline constexpr int kPidCubicWords = 12;
inline constexpr Addr kPidSignFlags = 0x50;  // 16-bit: bit i set = cubic word i negative
inline constexpr Addr kCoefLast = 0x51;
// The program table: 50 records of four 16-bit words.
inline constexpr Addr kProgramTable = 0x70;
inline constexpr int kTableRecords = 50;
inline constexpr int kTableRecordBytes = 8;
inline constexpr Addr kProgramTableLast = 0x1FF;
// Scales of the calibration words: a word holds |value| x its scale, the
// curve's B and D are negative whatever the word says, and the PID cubics take
// their signs from the sign-flag word.
inline constexpr double kCurveAScale = 4294967296.0;  // 2^32
inline constexpr double kCurveBScale = 1677721600.0;  // 256 x 100 x 65536
inline constexpr double kCurveCScale = 2560000.0;     // 256 x 10000
inline constexpr double kCurveDScale = 1000000.0;
inline constexpr double kPidCubicScale = 100000000.0;
// The gain word holds 100 / К in 16.16.
inline constexpr double kGainPercent = 100.0;
}  // namespace block

// ---- frames the controller sends by itself -----------------------------------
// PID frame (DataPid bytes, one per regulator cycle during a run): bytes 3..35
// are RAM 0x00..0x20 and bytes 35..322 are RAM 0x60..0x17F (byte 35 twice).
namespace pidFrame {
inline constexpr int kRegistersFrom = 3;
inline constexpr int kRegistersBytes = 33;
inline constexpr int kRamFrom = 35;
inline constexpr Addr kRamAddress = 0x60;
inline constexpr int kRamBytes = 288;
inline constexpr int kDefaultLength = 310;
// The image RdPidFrame keeps: index = RAM address, 0x00..0x17F.
inline constexpr int kMirrorBytes = 384;
// DataPid may not exceed the console's 512-byte frame buffer.
inline constexpr int kMaxLength = 512;
}  // namespace pidFrame

// Telemetry frame of the P/B stream: a header, RAM 0x00..0x1F, RAM 0x60..0x142.
namespace streamFrame {
inline constexpr int kHeaderBytes = 3;
inline constexpr int kRegisterBytes = 32;
inline constexpr int kRamBytes = 227;
inline constexpr Addr kRamAddress = 0x60;
inline constexpr int kBytes = kHeaderBytes + kRegisterBytes + kRamBytes;  // 262
// The shortest period of the stream: a frame at 115200 baud with 11 bits a
// character takes 25 ms on the line.
inline constexpr int kLineRateMs = 25;
}  // namespace streamFrame

// ---- sizes of the controller's memories ----------------------------------------
namespace memory {
inline constexpr int kRamBytes = 0x10000;    // RAM answers at every 16-bit address
inline constexpr int kProgMemBytes = 0x400;  // programs 1..17
inline constexpr int kRomBytes = 0x8000;     // 32 KiB; an address is taken modulo its size
}  // namespace memory

}  // namespace calorix::ctl
