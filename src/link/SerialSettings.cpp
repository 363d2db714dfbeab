#include "link/SerialSettings.h"

#include <QRegularExpression>
#include <termios.h>

bool MakeTermiosSettings(std::uint32_t baud, std::uint8_t dataBits, std::uint8_t stopCode,
                         std::uint8_t parityCode, TermiosSettings& out) {
    if (baud == 0 || baud > 4000000)
        return false;
    TermiosSettings t;
    switch (dataBits) {
    case 5:
        t.cflag |= CS5;
        break;
    case 6:
        t.cflag |= CS6;
        break;
    case 7:
        t.cflag |= CS7;
        break;
    case 8:
        t.cflag |= CS8;
        break;
    default:
        return false;
    }
    switch (stopCode) {
    case 0:
        break;
    case 2:
        t.cflag |= CSTOPB;
        break;
    default: // one and a half stop bits: no terminal driver offers them
        return false;
    }
    switch (parityCode) {
    case 0:
        break;
    case 1:
        t.cflag |= PARENB | PARODD;
        break;
    case 2:
        t.cflag |= PARENB;
        break;
    case 3:
        t.cflag |= PARENB | PARODD | CMSPAR;
        break;
    case 4:
        t.cflag |= PARENB | CMSPAR;
        break;
    default:
        return false;
    }
    t.cflag |= CREAD | CLOCAL;
    // Parity errors are checked; bytes are otherwise passed as received (no CR/LF
    // translation, no XON/XOFF), NUL bytes included. With seven data bits the eighth bit
    // of a received byte is never data, so it is stripped; a pseudo-terminal keeps this
    // flag (it forces its own word length to eight bits), which lets the simulator see
    // the word length the program asked for.
    t.iflag = (parityCode != 0 ? INPCK : 0) | (dataBits < 8 ? ISTRIP : 0);
    t.oflag = 0;
    t.lflag = 0;
    // Reads are made one byte at a time after poll(), which carries the time-out.
    t.vmin = 0;
    t.vtime = 0;
    t.baud = baud;
    out = t;
    return true;
}

namespace SerialPortNames {

QString ToDevicePath(const QString& stored) {
    static const QRegularExpression com(QStringLiteral("^\\s*COM(\\d+):?\\s*$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto m = com.match(stored);
    if (m.hasMatch()) {
        const int n = m.captured(1).toInt();
        if (n >= 1)
            return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    }
    return stored.trimmed();
}

QStringList Candidates() {
    const QString env = qEnvironmentVariable("VELMOR_SERIAL_PORTS");
    if (!env.trimmed().isEmpty()) {
        QStringList ports;
        for (const QString& p : env.split(QLatin1Char(','), Qt::SkipEmptyParts))
            if (!p.trimmed().isEmpty())
                ports << p.trimmed();
        return ports;
    }
    return {QStringLiteral("/dev/ttyS0"),   QStringLiteral("/dev/ttyS1"),   QStringLiteral("/dev/ttyUSB0"),
            QStringLiteral("/dev/ttyUSB1"), QStringLiteral("/dev/ttyUSB2"), QStringLiteral("/dev/ttyUSB3"),
            QStringLiteral("/dev/ttyACM0"), QStringLiteral("/dev/ttyACM1")};
}

} // namespace SerialPortNames
