#pragma once
// The command-line tools (calorix-cli, calorix --list-ports) say only their
// own words: the toolkit's debug, info and warning messages (a missing
// XDG_RUNTIME_DIR on a box without a desktop session, say) are dropped.
// Critical and fatal messages still pass. CALORIX_QT_MESSAGES=1 lets every
// message through, for a look at what the toolkit says.
namespace calorix {

void keepToolkitQuiet();

}  // namespace calorix
