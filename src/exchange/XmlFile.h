#pragma once

#include <QByteArray>
#include <QString>

// A document file being written: created anew, written through a buffer, and every
// failure kept as the cause number of a file error (1 generic, 2 file not found, 3 bad
// path, 4 too many open files, 5 access denied, 13 disk full), which selects the text the
// user sees.
class CXmlFile {
public:
    enum Cause : int {
        None = 0,
        Generic = 1,
        FileNotFound = 2,
        BadPath = 3,
        TooManyOpenFiles = 4,
        AccessDenied = 5,
        DirectoryFull = 8,
        DiskFull = 13,
        EndOfFile = 14,
    };

    CXmlFile() = default;
    ~CXmlFile(); // closes without reporting; call Close to learn whether the data reached the disk
    CXmlFile(const CXmlFile&) = delete;
    CXmlFile& operator=(const CXmlFile&) = delete;

    // Creates the file (an existing one is replaced) and writes the byte order mark.
    bool Create(const QString& path);
    // One document line with CR LF; false for a line over the limit (cause stays None) or
    // a write failure.
    bool WriteLine(const QString& line);
    bool Write(const QByteArray& bytes);
    // Flushes and closes; false with the cause when the data could not be written.
    bool Close();
    bool IsOpen() const { return m_fd >= 0; }

    int GetCause() const { return m_cause; }
    int GetErrno() const { return m_errno; }
    const QString& Path() const { return m_path; }

    static int CauseOfErrno(int error);

private:
    bool Flush();
    bool Fail(int error);

    int m_fd = -1;
    QString m_path;
    QByteArray m_buffer;
    int m_cause = None;
    int m_errno = 0;
};
