#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

// One file of the update package that goes to the tester.
struct CopyEntry {
    QString command;    // as written in the list
    QString fileName;   // in the update folder, as written
    QString testerPath; // where it goes on the tester
    qint64 size = 0;    // bytes
};

// The update package's copy list "CopyList.txt": one command per LF-ended line, decided
// against the tester's versions in file order. The parser works on bytes; Open reads the
// file and the sizes from the update folder.
class CCopyListReader {
public:
    // Size in bytes of a file of the package; -1 when it cannot be opened.
    using SizeOf = std::function<qint64(const QString& fileName)>;

    static QString FileName() { return QStringLiteral("CopyList.txt"); }

    void SetTesterVersions(const QString& software, const QString& firmware);

    // Reads "CopyList.txt" of the folder; false when it or a file to be copied is missing.
    bool Open(const QString& updateFolder);
    // Parses the whole list; false (and no entries) when a file to be copied is missing.
    bool Parse(const QByteArray& bytes, const SizeOf& sizeOf);
    // Processes one line (without its line end).
    bool ParseLine(const QByteArray& line, const SizeOf& sizeOf);

    // The lines of a list: ended by LF, a CR before the LF removed; a last line without
    // LF is not a line.
    static std::vector<QByteArray> Lines(const QByteArray& bytes);
    // The three fields of a line: command, second field, rest of the line.
    static void SplitFields(const QByteArray& line, QByteArray& f1, QByteArray& f2, QByteArray& f3);
    // The local file of a package name: "\" read as "/", an exact match else a match without
    // regard to case; empty for names that leave the folder ("..", absolute) or are missing.
    static QString ResolveFile(const QString& folder, const QString& name);

    int EntryCount() const { return int(m_entries.size()); }
    qint64 TotalSize() const;
    const std::vector<CopyEntry>& Entries() const { return m_entries; }
    const QString& UpdateFolder() const { return m_folder; }
    const QString& MinimumVersion() const { return m_minimumVersion; }
    const QString& PackageFirmwareVersion() const { return m_packageFirmware; }
    // The file that ended the reading (empty when none did).
    const QString& MissingFile() const { return m_missing; }

private:
    bool Selects(const QString& command, const QString& fileName) const;

    QString m_folder;
    QString m_testerSoftware;
    QString m_testerFirmware;
    QString m_minimumVersion;
    QString m_packageFirmware;
    QString m_missing;
    std::vector<CopyEntry> m_entries;
};
