#include "sheets/ProtocolMasterData.h"

#include "sheets/RecordValues.h"
#include "store/AdoDatabase.h"
#include "store/RowVersion.h"
#include "store/TextFormat.h"
#include "store/TextIds.h"
#include "views/ClientCheck.h"

const std::vector<CProtocolMasterData::Field>& CProtocolMasterData::FieldTable() {
    static const std::vector<Field> table = [] {
        const struct {
            qint32 label;
            const char* column;
            int max;
        } rows[] = {{30806, "Serial", 20},   {10003, "Manufacturer", 20}, {10005, "Description", 20},
                    {30859, "Client", 20},   {30906, "City", 30},         {30907, "Street", 30},
                    {30807, "Location", 20}, {30809, "Department", 20},   {30808, "Room", 20},
                    {30810, "Costs", 20},    {18, "Comment", 128}};
        std::vector<Field> fields;
        for (const auto& r : rows) {
            Field f;
            f.labelTextId = r.label;
            f.column = QString::fromLatin1(r.column);
            f.maxLength = r.max;
            fields.push_back(f);
        }
        return fields;
    }();
    return table;
}

QString CProtocolMasterData::T(qint32 textId, const char* fallback) const {
    return m_texts ? m_texts(textId, QString::fromUtf8(fallback)) : QString::fromUtf8(fallback);
}

bool CProtocolMasterData::Load(CAdoDatabase& db, qint32 protocolId, const Texts& texts) {
    m_texts = texts;
    m_modified = false;
    id = protocolId;
    if (!db.OpenQuery(QStringLiteral("SELECT * FROM GeraeteTab WHERE id = %1").arg(protocolId)) ||
        !db.HasRow()) {
        m_message = T(TextId::kUpdateNotPossible, "Database error: Update not possible!");
        db.CloseRecordset();
        return false;
    }
    guid = RecordValues::Text(db, "myGUID");
    device = RecordValues::Text(db, "Device");
    specificationName = RecordValues::Text(db, "SpecificationName");
    if (db.IsNull(QStringLiteral("TestResultID")) ||
        !db.GetLong(QStringLiteral("TestResultID"), resultTextId))
        resultTextId = 0;
    resultText = resultTextId ? T(resultTextId, "") : QString();
    resultColour = resultTextId == 30800   ? ResultColour::Passed
                   : resultTextId == 30801 ? ResultColour::Failed
                                           : ResultColour::Other;
    operatorName = RecordValues::Text(db, "Operator");
    testDate = RecordValues::Date(db, "TestDate");
    nextTestDate = RecordValues::Date(db, "NextTestDate");
    if (db.IsNull(QStringLiteral("ReviewPeriod")) ||
        !db.GetLong(QStringLiteral("ReviewPeriod"), reviewPeriod))
        reviewPeriod = 0;
    fields = FieldTable();
    for (Field& f : fields) {
        f.label = T(f.labelTextId, "");
        f.value = RecordValues::Text(db, f.column.toLatin1().constData());
    }
    m_originalClient = FindField(QStringLiteral("Client"))->value;

    specificationReviewPeriod = 12;
    if (db.OpenQuery(
            QStringLiteral("SELECT * FROM TypenTab WHERE Name = %1").arg(SqlLiteral(specificationName))) &&
        db.HasRow()) {
        qint32 months = 0;
        if (!db.IsNull(QStringLiteral("ReviewPeriod")) && db.GetLong(QStringLiteral("ReviewPeriod"), months))
            specificationReviewPeriod = months;
    }
    db.CloseRecordset();
    m_version = RowVersion::Read(db, QStringLiteral("GeraeteTab"), id);
    return true;
}

CProtocolMasterData::Field* CProtocolMasterData::FindField(const QString& column) {
    for (Field& f : fields) {
        if (f.column.compare(column, Qt::CaseInsensitive) == 0)
            return &f;
    }
    return nullptr;
}

bool CProtocolMasterData::SetField(const QString& column, const QString& value) {
    Field* f = FindField(column);
    if (!f) {
        QStringList names;
        for (const Field& known : FieldTable())
            names << known.column;
        m_message = QStringLiteral("%1 cannot be changed here; the editable fields are %2")
                        .arg(column, names.join(QStringLiteral(", ")));
        return false;
    }
    if (value.size() > f->maxLength) {
        m_message = QStringLiteral("%1 takes at most %2 characters").arg(f->column).arg(f->maxLength);
        return false;
    }
    if (value != f->value) {
        f->value = value;
        f->modified = true;
        m_modified = true;
    }
    return true;
}

void CProtocolMasterData::SetNextTest(const QDate& date, int months) {
    const QTime time = nextTestDate.isValid() ? nextTestDate.time() : QTime(0, 0);
    nextTestDate = date.isValid() ? QDateTime(date, time) : QDateTime();
    reviewPeriod = months;
    m_modified = true;
}

QString CProtocolMasterData::SaveStatement() const {
    QString sql = QStringLiteral("UPDATE GeraeteTab SET ");
    for (const Field& f : fields) {
        if (f.modified)
            sql += f.column + QStringLiteral(" = ") + SqlLiteral(f.value) + QLatin1Char(',');
    }
    // A protocol without a next test date keeps none rather than getting an empty text.
    sql += QStringLiteral("NextTestDate = ") +
           (nextTestDate.isValid() ? SqlLiteral(nextTestDate.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                                   : QStringLiteral("NULL")) +
           QStringLiteral(", ");
    sql += QStringLiteral("ReviewPeriod = %1 WHERE id = %2").arg(reviewPeriod).arg(id);
    return sql;
}

QString CProtocolMasterData::DuplicateMessage(const QString& client) const {
    return FormatText(
               T(30814, "The device protocol with Device ID = \"%s\" and Client = \"%s\" already exists."),
               device, client) +
           QLatin1Char(' ') + T(136, "It is not possible to carry out this modification!");
}

CProtocolMasterData::SaveResult CProtocolMasterData::CheckClient(CAdoDatabase& db, const QString& client) {
    switch (ClientCheck::Check(db, device, client, guid)) {
    case ClientCheck::Result::Accepted:
        return SaveResult::Saved;
    case ClientCheck::Result::Duplicate:
        m_message = DuplicateMessage(client);
        return SaveResult::ClientTaken;
    case ClientCheck::Result::DatabaseError:
        break;
    }
    m_message = T(TextId::kUpdateNotPossible, "Database error: Update not possible!");
    return SaveResult::DatabaseError;
}

CProtocolMasterData::SaveResult CProtocolMasterData::Save(CAdoDatabase& db) {
    CTransaction transaction(db);
    if (!transaction.IsActive()) {
        m_message = T(TextId::kUpdateNotPossible, "Database error: Update not possible!");
        return SaveResult::DatabaseError;
    }
    if (RowVersion::Read(db, QStringLiteral("GeraeteTab"), id, true) != m_version) {
        m_message = T(RowVersion::kChangedElsewhere,
                      "This record was changed on another workstation after you opened it. Your "
                      "changes were not saved. Reload it?");
        return SaveResult::ChangedElsewhere;
    }
    const Field* client = FindField(QStringLiteral("Client"));
    if (client && client->modified && client->value != m_originalClient) {
        const SaveResult check = CheckClient(db, client->value);
        if (check != SaveResult::Saved)
            return check;
    }
    if (!db.Execute(SaveStatement()) || !transaction.Commit()) {
        m_message = T(TextId::kUpdateNotPossible, "Database error: Update not possible!");
        return SaveResult::DatabaseError;
    }
    for (Field& f : fields)
        f.modified = false;
    m_originalClient = client ? client->value : QString();
    m_modified = false;
    m_version = RowVersion::Read(db, QStringLiteral("GeraeteTab"), id);
    return SaveResult::Saved;
}
