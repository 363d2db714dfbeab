#pragma once

#include <QString>
#include <QStringList>

// The three lists with which the filter and sort dialog restores its state per directory.
class CUserSetUpDetails {
public:
    CUserSetUpDetails(const QString& databaseFile, const QString& dataFolder)
        : m_databaseFile(databaseFile), m_dataFolder(dataFolder) {}
    virtual ~CUserSetUpDetails() = default;

    // On any failure all three lists come back empty.
    bool LoadDetails(int directory, QStringList& list1, QStringList& list2, QStringList& list3);
    // Replaces the stored lists of the directory as a whole, or leaves them as they were.
    bool SaveDetails(int directory, const QStringList& list1, const QStringList& list2,
                     const QStringList& list3);

private:
    QString m_databaseFile;
    QString m_dataFolder;
};
