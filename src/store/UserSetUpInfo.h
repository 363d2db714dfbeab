#pragma once

#include <QString>

class CAdoDatabase;

// Directory identifiers of the two data directories.
enum : int { kDirectorySpecifications = 50, kDirectoryProtocols = 60 };

// The stored filter of one directory: whether it is on and its complete SELECT statement.
class CUserSetUpInfo {
public:
    CUserSetUpInfo(const QString& databaseFile, const QString& dataFolder)
        : m_databaseFile(databaseFile), m_dataFolder(dataFolder) {}
    virtual ~CUserSetUpInfo() = default;

    static bool RowExists(CAdoDatabase& db, int directory);
    // True when the row was read; filterOn is -1 for on, 0 for off.
    bool GetFilter(int directory, int& filterOn, QString& query);
    // The same through a connection the caller holds open.
    static bool ReadFilter(CAdoDatabase& db, int directory, int& filterOn, QString& query);
    bool SetFilter(int directory, int filterOn, const QString& query);

private:
    QString m_databaseFile;
    QString m_dataFolder;
};
