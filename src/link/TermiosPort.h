#pragma once

#include "link/SerialPort.h"

#include <memory>

class CTermiosPort final : public CSerialPort {
public:
    ~CTermiosPort() override;
    bool Open(const QString& path) override;
    void Close() override;
    bool IsOpen() const override { return m_fd >= 0; }
    bool Apply(const TermiosSettings& settings) override;
    int ReadByte(char& byte, int timeoutMs) override;
    qint64 Write(const char* data, qint64 size, int timeoutMs) override;
    void Purge(bool input, bool output) override;

private:
    int m_fd = -1;
};

std::unique_ptr<CSerialPort> MakeTermiosPort();
