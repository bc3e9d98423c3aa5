#pragma once
// The controller image: everything the console reads and writes back that
// makes one controller what it is (calibration coefficients, program table,
// the 25 programs, PID and amplifier coefficients, set temperature), as one
// self-describing text file.
//
//   format calorix-controller-image
//   version 2
//   date 2026-03-05T12:03:07+01:00
//   port /dev/ttyS1
//   region coefficients block 0x0000 82
//   0x0000 00 00 01 00 ...            (16 bytes a line, the address first)
//   ...
//   checksum sha256 <64 hex digits over every line above, each ended by LF>
//
// A file is accepted only whole: the format line, a version this tool reads,
// the checksum, and exactly the regions of that version with all their bytes.
//
// Version 2 keeps programs 18..25 as the four whole 128-byte ROM pages they
// live in (0x7C00..0x7DFF): a page is only ever erased and written whole, so
// the 4 bytes after each program's 60 belong to the clone as much as the
// stages do. Version 1 kept each program's 60 bytes alone; such files are
// still read, verified and restored, the bytes they lack left as they are.
#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

#include "core/ControllerMap.h"

namespace calorix::cli {

inline constexpr char kImageFormat[] = "calorix-controller-image";
// The version backup writes, and the oldest one still read.
inline constexpr int kImageVersion = 2;
inline constexpr int kFirstImageVersion = 1;

using Bytes = std::vector<std::uint8_t>;

// The memory a region lies in, as the command layers address it.
enum class Memory { Block, ProgMem, Rom, Ram };
QString memoryName(Memory memory);

// What a region holds decides how it is read and written.
enum class RegionKind {
  CoefWords,       // block 0x00..0x51: 4-byte words, the sign-flag word last
  ProgramTable,    // block 0x70..0x1FF: 50 records of 8 bytes
  Program,         // one program, 60 bytes: 1..17 in program memory (18..25 in ROM, version 1)
  RomPage,         // a whole ROM page of two programs 18..25, 128 bytes (version 2)
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
  int program = 0;  // 1..25 for a Program; the page's first program for a RomPage
};

// The regions of an image of `version` (kFirstImageVersion..kImageVersion), in
// the order they are read, written and stored.
const std::vector<RegionLayout>& imageLayout(int version = kImageVersion);
bool imageVersionKnown(int version);

struct Image {
  int version = kImageVersion;
  QDateTime date;
  QString port;
  // One entry per region of its version's layout, its bytes as read.
  std::vector<Bytes> regions;

  const std::vector<RegionLayout>& layout() const { return imageLayout(version); }
};

QByteArray formatImage(const Image& image);
// The image in text, or nothing with the reason in *error (wrong format,
// version or checksum, or a body that does not hold the layout exactly).
std::optional<Image> parseImage(const QByteArray& text, QString* error);

// A run of consecutive bytes in which two images of one version differ; a run
// never spans two programs, nor a program and the bytes after it in its page.
struct Difference {
  int region;
  int offset;
  int length;
};
std::vector<Difference> compareImages(const Image& expected, const Image& actual);
// "rom 0x7C04..0x7C07 (program-18): image 10 C5 F4 A1, controller 00 00 00 00";
// bytes of a page outside its programs: "(page 0x7C00, after program-18)".
QString differenceText(const Difference& d, const Image& expected, const Image& actual);
int imageBytes(int version = kImageVersion);

}  // namespace calorix::cli
