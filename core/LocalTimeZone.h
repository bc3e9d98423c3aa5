#pragma once
// Qt asks the C library to re-check the time zone before every local time
// conversion. With TZ unset, glibc then stats /etc/localtime each time: one
// system call per stamp, several per traced exchange. Pinning TZ to that same
// file keeps the zone and lets the C library skip the check. A zone changed
// while the console runs is then seen at its next start.
namespace calorix {

// Sets TZ to ":/etc/localtime" when TZ is unset and that file exists; call it
// once, first thing in main(). Does nothing elsewhere (Windows, TZ given).
void pinLocalTimeZone();

}  // namespace calorix
