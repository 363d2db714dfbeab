#pragma once

#include "link/SerialSettings.h"

#include <QString>
#include <memory>

// One serial port as the link needs it: open, configure, read one byte with a time-out,
// write, purge. The termios implementation serves real ports and pseudo-terminals alike.
class CSerialPort {
public:
    virtual ~CSerialPort() = default;
    // Opens the device for reading and writing, for this process alone.
    virtual bool Open(const QString& path) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual bool Apply(const TermiosSettings& settings) = 0;
    // 1: a byte was read; 0: nothing arrived within timeoutMs; -1: the read failed.
    virtual int ReadByte(char& byte, int timeoutMs) = 0;
    // Bytes written within timeoutMs, or -1 when the write failed at once.
    virtual qint64 Write(const char* data, qint64 size, int timeoutMs) = 0;
    virtual void Purge(bool input, bool output) = 0;
};
