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

// DecodeStreamFrame: the 15 rows in display order, EditTempDat first, EditPN
// last.
FieldTexts decodeStreamFrame(StreamFrame frame);

// The eight texts WriteDataLine logs, in its order: EditTempTP, EditPUV,
// EditDUV, EditIUV, EditAllUV, EditTecErr, EditSumErr, EditPN.
std::array<QString, 8> streamLogTexts(const FieldLookup& fields);

}  // namespace calorix::pid
