#pragma once
// What the main window shows and logs of one telemetry frame of the P/B
// stream. Plain functions over the frame's bytes: no widget, no link.
#include <QString>

#include <array>
#include <cstdint>
#include <span>

#include "core/ControllerMap.h"
#include "pid/PidFrameDecode.h"

namespace calorix::pid {

// One frame as read: the header, the register block (RAM 0x00..0x1F) and the
// RAM block (RAM 0x60..0x142).
using StreamFrame = std::span<const std::uint8_t, ctl::streamFrame::kBytes>;

// The frame as the RAM it carries, index = RAM address: the register block at
// 0x00, the RAM block at 0x60; the gap between them reads as 0.
using StreamRam =
    std::array<std::uint8_t, ctl::streamFrame::kRamAddress + ctl::streamFrame::kRamBytes>;
StreamRam streamRam(StreamFrame frame);

// DecodeStreamFrame: the 15 rows in display order, EditTempDat first, EditPN
// last; from the frame, or from its RAM image made once (streamRam).
FieldTexts decodeStreamFrame(StreamFrame frame);
FieldTexts decodeStreamRam(const RamImage& image);

// The eight texts of a telemetry log line (plot/StreamLog.h), in order: EditTempTP, EditPUV,
// EditDUV, EditIUV, EditAllUV, EditTecErr, EditSumErr, EditPN.
std::array<QString, 8> streamLogTexts(const FieldLookup& fields);

}  // namespace calorix::pid
