#pragma once
// The controller image: everything the console reads and writes back that
// makes one controller what it is (calibration coefficients, program table,
// the 25 programs, PID and amplifier coefficients, set temperature), as one
// self-describing text file.
//
//   format calorix-controller-image
//   version 1
//   date 2026-03-05T12:03:07+01:00
//   port /dev/ttyS1
//   region coefficients block 0x0000 82
//   0x0000 00 00 01 00 ...            (16 bytes a line, the address first)
//   ...
//   checksum sha256 <64 hex digits over every line above, each ended by LF>
//
// A file is accepted only whole: the format line, a version this tool reads,
// the checksum, and exactly the regions of that version with all their bytes.
#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

#include "core/ControllerMap.h"

namespace calorix::cli {

inline constexpr char kImageFormat[] = "calorix-controller-image";
inline constexpr int kImageVersion = 1;

using Bytes = std::vector<std::uint8_t>;

// The memory a region lies in, as the command layers address it.
enum class Memory { Block, ProgMem, Rom, Ram };
QString memoryName(Memory memory);

// What a region holds decides how it is read and written.
enum class RegionKind {
  CoefWords,       // block 0x00..0x51: 4-byte words, the sign-flag word last
  ProgramTable,    // block 0x70..0x1FF: 50 records of 8 bytes
  Program,         // one program, 60 bytes: 1..17 in program memory, 18..25 in ROM
  PidCoefs,        // RAM 0x90: PK, IK, DK
  SetTemperature,  // RAM 0xDC: the set temperature word
  Amplifier,       // RAM 0x9C: the amplifier coefficient
};

struct RegionLayout {
  QString name;
  RegionKind kind;
  Memory memory;
  ctl::Addr address;
  int size;
  int program = 0;  // 1..25 for a Program
};

// The regions of a version-1 image, in the order they are read, written and
// stored.
const std::vector<RegionLayout>& imageLayout();

struct Image {
  QDateTime date;
  QString port;
  // One entry per imageLayout() region, its bytes as read.
  std::vector<Bytes> regions;
};

QByteArray formatImage(const Image& image);
// The image in text, or nothing with the reason in *error (wrong format,
// version or checksum, or a body that does not hold the layout exactly).
std::optional<Image> parseImage(const QByteArray& text, QString* error);

// A run of consecutive bytes in which two images differ.
struct Difference {
  int region;
  int offset;
  int length;
};
std::vector<Difference> compareImages(const Image& expected, const Image& actual);
// "rom 0x7C04..0x7C07 (program-18): image 10 C5 F4 A1, controller 00 00 00 00"
QString differenceText(const Difference& d, const Image& expected, const Image& actual);
int imageBytes();

}  // namespace calorix::cli
