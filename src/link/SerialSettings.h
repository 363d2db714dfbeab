#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

// Line settings as the terminal driver takes them. Built by a pure function, because a
// pseudo-terminal reports 8 data bits without parity whatever it was given, so only
// this function shows what a real port would get.
struct TermiosSettings {
    std::uint32_t iflag = 0;
    std::uint32_t oflag = 0;
    std::uint32_t cflag = 0; // without the speed bits
    std::uint32_t lflag = 0;
    std::uint8_t vmin = 0;
    std::uint8_t vtime = 0;
    std::uint32_t baud = 0; // bits per second, both directions
};

// Raw mode, parity checked on input, no flow control, receiver on, modem lines not
// needed for receiving. stopCode: 0 one stop bit, 2 two (1, one and a half, is refused);
// parityCode: 0 none, 1 odd, 2 even, 3 mark, 4 space. False for settings a port cannot
// take: data bits outside 5 to 8, a zero or absurd baud rate, unknown codes.
bool MakeTermiosSettings(std::uint32_t baud, std::uint8_t dataBits, std::uint8_t stopCode,
                         std::uint8_t parityCode, TermiosSettings& out);

namespace SerialPortNames {

// "COMn:" (or "COMn") as stored by the Windows program -> "/dev/ttyS(n-1)"; other text as it is.
QString ToDevicePath(const QString& stored);
// Ports tried by the scan: VELMOR_SERIAL_PORTS (comma-separated) or the usual devices.
QStringList Candidates();

} // namespace SerialPortNames
