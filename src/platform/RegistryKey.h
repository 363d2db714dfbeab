#pragma once

#include <QMap>
#include <QString>

// The program's key of the current user's registry, kept as a typed key-value file
// ($XDG_CONFIG_HOME/VELMOR 740ST - Roziraz Uvurad/registry). Each value keeps its type, a
// 32-bit number or a text, so that reading a value as the wrong type fails as it should.
// Failures report an errno value; strerror gives the system's text for it.
class CRegistryKey {
public:
    enum class Type { Dword, Sz };

    // Folder and file of the key.
    static QString KeyFolder();
    static QString KeyFile();

    // Opens the key; with create, a missing key is created (empty). created tells which.
    bool Open(bool create, bool* created, int* error);
    bool IsOpen() const { return m_open; }

    // ENOENT when the value is missing, EINVAL when it has the other type, EOVERFLOW when
    // a text is longer than maxBytes in UTF-16 (the reader's buffer).
    bool QueryDword(const QString& name, quint32& value, int* error) const;
    bool QuerySz(const QString& name, QString& value, int maxBytes, int* error) const;
    bool HasValue(const QString& name, Type* type = nullptr) const;

    bool SetDword(const QString& name, quint32 value, int* error);
    bool SetSz(const QString& name, const QString& value, int* error);
    // Removes a value; removing a missing one succeeds.
    bool DeleteValue(const QString& name, int* error);

    // The system's text for an error of this class, with its line break.
    static QString ErrorText(int error);

private:
    struct Value {
        Type type = Type::Sz;
        quint32 number = 0;
        QString text;
    };
    bool Load(int* error);
    bool Save(int* error);

    bool m_open = false;
    QMap<QString, Value> m_values;  // name in lower case -> value
    QMap<QString, QString> m_names; // lower case -> name as written
};
