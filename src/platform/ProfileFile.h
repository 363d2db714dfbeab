#pragma once

#include <QString>

// A private profile file (the format of the settings file): sections and keys without regard to case,
// a default for whatever is missing, values cut to the caller's buffer. Every call reads
// or rewrites the file, so two programs sharing a data folder see each other's changes.
class CProfileFile {
public:
    explicit CProfileFile(const QString& path) : m_path(path) {}
    const QString& Path() const { return m_path; }

    // The value, cut to maxChars characters; the default when the file, section or key is
    // missing. Surrounding blanks and one pair of enclosing quotes are removed.
    QString GetString(const QString& section, const QString& key, const QString& defaultValue,
                      int maxChars = 32767) const;
    // The value as a number; the default when it is missing or not a number.
    int GetInt(const QString& section, const QString& key, int defaultValue) const;
    // Writes or replaces the key, creating file and section as needed; other lines stay.
    bool WriteString(const QString& section, const QString& key, const QString& value);
    bool WriteInt(const QString& section, const QString& key, int value) {
        return WriteString(section, key, QString::number(value));
    }

private:
    QString m_path;
};
