#pragma once

#include "exchange/XmlRecords.h"
#include "store/AdoDatabase.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

// A test specification with one row in every step table.
XmlSpecificationRecord MakeSpecification(const QString& name, const QString& guid);
// A device protocol with one visual result and two test and one functional result.
XmlProtocolRecord MakeProtocol(const QString& device, const QString& client, const QString& guid,
                               const QString& specificationName, const QString& specificationGuid,
                               const QString& testDate = QStringLiteral("05.03.2009"),
                               const QString& testTime = QStringLiteral("14:07:09"));

// The lines of a whole document.
QStringList SpecificationDocument(const std::vector<XmlSpecificationRecord>& records);
QStringList ProtocolDocument(const std::vector<XmlProtocolRecord>& records);
// Writes lines as the format stores them: byte order mark, UTF-8, CR LF after each.
void WriteDocument(const QString& path, const QStringList& lines);
QByteArray ReadFile(const QString& path);

// A data folder with an empty user database and a documents folder, the notifier recorded.
class ExchangeFixture : public ::testing::Test {
protected:
    void SetUp() override;
    QString DataDir() const { return dir.filePath(QStringLiteral("data")); }
    QString DocsDir() const { return dir.filePath(QStringLiteral("docs")); }
    QString Doc(const QString& name) const { return DocsDir() + QLatin1Char('/') + name; }
    // The first column of the first row of a query, as text ("" for none).
    QString Value(const QString& sql);
    int Count(const QString& sql) { return Value(sql).toInt(); }
    // Row counts of the eight record tables, to see that nothing changed.
    QString TableCounts();
    // Imports every entry of the folder's document of the kind into the data folder's
    // database through the import workflow; the workflow's result.
    bool ImportAll(const QString& folder, bool protocols, const QString& dataFolder = QString());

    QTemporaryDir dir;
    CNotifierScope notes;
    CAdoDatabase db;
};
