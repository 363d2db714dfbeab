#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

// The tester's catalogue: test specifications by name, device protocols by GUID, each
// kept as the lines of its record element (UTF-8, as received), and the files below
// "\%SYSTEM%\". With a folder it is kept on disk between runs.
class CSimCatalog {
public:
    struct Record {
        QList<QByteArray> lines; // from the start tag to the end tag
        bool own = false;        // made on the tester (not received from the program)
    };

    void SetFolder(const QString& folder) { m_folder = folder; }
    bool Load();
    // Seeds count protocols over a handful of specifications; the same count gives the
    // same records, so seeding twice changes nothing.
    void SeedDemo(int count, const QString& testerName, const QString& serial, const QString& software);

    // Takes a whole document as received; false when it holds no record of the kind.
    bool StoreDocument(bool specification, const QList<QByteArray>& lines, QString& why);

    bool HasSpecification(const QString& name) const { return m_specs.contains(name.toLower()); }
    bool HasProtocol(const QString& guid) const { return m_protocols.contains(guid.toLower()); }
    QList<QByteArray> SpecificationDocument(const QString& name) const;
    QList<QByteArray> ProtocolDocument(const QString& guid) const;
    QList<QByteArray> SpecificationList(bool ownOnly) const;
    QList<QByteArray> ProtocolList(bool ownOnly) const;
    QList<QByteArray> MeasurementList() const;
    int SpecificationCount() const { return int(m_specs.size()); }
    int ProtocolCount() const { return int(m_protocols.size()); }

    bool HasFile(const QString& path) const { return m_files.contains(NormalizePath(path)); }
    QByteArray File(const QString& path) const { return m_files.value(NormalizePath(path)); }
    // Keeps a received file; a print header signature ("<name>.sign") is also kept
    // unscrambled, as the tester prints it, in the folder's "signatures".
    void PutFile(const QString& path, const QByteArray& data);

    // Attribute of a start-tag line, XML entities decoded.
    static QString Attribute(const QByteArray& line, const char* name);
    static QString NormalizePath(const QString& path);

private:
    void Save(bool specification, const QString& key, const Record& r) const;
    static QList<QByteArray> Wrap(bool specification, const QList<QByteArray>& record);

    QString m_folder;
    QMap<QString, Record> m_specs;     // lower-cased name
    QMap<QString, Record> m_protocols; // lower-cased GUID
    QMap<QString, QByteArray> m_files; // normalized tester path
};
