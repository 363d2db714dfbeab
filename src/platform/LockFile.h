#pragma once

#include <QString>

// The single-user lock of a shared data folder: user2.log held open with an open file
// description lock (fcntl F_OFD_SETLK), so it works across processes and machines that
// share the folder, and ends with the holder's process however that ends. The file holds
// a UTF-8 byte-order mark and the holder's user name.
class CLockFile {
public:
    enum class Result {
        Locked, // this object holds the lock and has written its user name
        InUse,  // another holder has the lock ("sharing violation"); HolderName() says who
        Failed  // the file could not be opened or locked for another reason; Error() says why
    };

    CLockFile() = default;
    ~CLockFile() { Release(); }
    CLockFile(const CLockFile&) = delete;
    CLockFile& operator=(const CLockFile&) = delete;

    // Opens path without truncating it, locks it, then truncates it and writes the
    // byte-order mark and userName (at most 1020 bytes of it).
    Result Acquire(const QString& path, const QString& userName);
    // Closes the file; other programs can then take the lock.
    void Release();
    bool IsHeld() const { return m_fd >= 0; }

    // After InUse: the name the holder wrote (empty when it cannot be read).
    const QString& HolderName() const { return m_holder; }
    // After Failed: the errno value.
    int Error() const { return m_error; }

    // The holder's name in a lock file: up to 1023 bytes, the byte-order mark skipped.
    static QString ReadHolderName(const QString& path);
    // The cause number of a file exception for an errno value (2 file not found, 3 bad
    // path, 4 too many open files, 5 access denied, 10 hardware I/O, 11 sharing violation,
    // 12 lock violation, 13 disk full, 1 anything else).
    static int FileExceptionCause(int error);

    static constexpr int kMaxNameBytes = 1020;
    static constexpr int kMaxReadBytes = 1023;

private:
    int m_fd = -1;
    int m_error = 0;
    QString m_holder;
};
