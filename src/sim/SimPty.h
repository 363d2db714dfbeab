#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>

// The tester's end of the cable: the master side of a pseudo-terminal whose slave the
// program opens like a serial port. The tester's own line speed is compared with the
// slave's, read through the master, so a program at the wrong speed hears nothing.
class CSimPty {
public:
    using Clock = std::chrono::steady_clock;

    ~CSimPty();
    // Opens the pair and publishes the slave as a symbolic link (replaced if present).
    bool Open(const QString& linkPath, unsigned baud, QString& error);
    QString SlavePath() const { return m_slavePath; }
    int MasterFd() const { return m_master; }

    // The speed the program has set on its side; 0 when it cannot be read.
    unsigned SlaveBaud() const;
    // Bytes on the line take 11 bit times each (start, 8 data, parity, stop), in both
    // directions. Each direction keeps the absolute moment its line is free again, so
    // late wake-ups and slices of sleep never add up to a line slower or faster than
    // the real one.
    void SetPace(bool pace);
    bool Paced() const { return m_pace; }
    // Accounts for one received byte: it has arrived when the line has carried it after
    // the bytes before it, and not before the read that brought it. Sleeps only when
    // that lies more than a millisecond ahead.
    void PaceReceived(unsigned baud);
    // Waits until the last byte accounted for has fully arrived; called before the
    // tester acts on what it received.
    void WaitReceived();
    // The moment the last byte sent has left the line, and the line time of every byte
    // paced so far in both directions.
    Clock::time_point SentUntil() const { return m_outFree; }
    std::chrono::nanoseconds WireTime() const { return m_wire; }
    // The program's side asked for seven data bits: a pseudo-terminal keeps its word
    // length at eight, but the input flag that strips the eighth bit shows the choice.
    bool SlaveSevenBit() const;
    // Writes bytes, paced when asked; false when the master is gone.
    bool Write(const QByteArray& bytes, unsigned baud);
    // Reads what is there (waiting up to timeoutMs); empty on time-out.
    QByteArray Read(int timeoutMs);

private:
    int m_master = -1;
    int m_slave = -1; // held open so the pair survives the program closing its end
    QString m_slavePath;
    QString m_linkPath;
    bool m_pace = false;
    Clock::time_point m_readAt{};  // when the bytes being handled were read
    Clock::time_point m_inFree{};  // the received byte accounted last has fully arrived
    Clock::time_point m_outFree{}; // the byte sent last has left the line
    std::chrono::nanoseconds m_wire{0};
};
