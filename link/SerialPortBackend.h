#pragma once
// The Port over QSerialPort, for real devices and pseudo-terminals.
#include "link/Port.h"

namespace calorix {

// Opens the device with QSerialPort (exclusive); null when the open fails.
PortOpener serialPortOpener();

}  // namespace calorix
