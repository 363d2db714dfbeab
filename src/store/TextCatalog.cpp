#include "store/TextCatalog.h"

#include "platform/Folders.h"
#include "platform/SettingsFile.h"

#include <QFileInfo>

const QStringList& CTextCatalog::Languages() {
    return CSettingsFile::Languages();
}

bool CTextCatalog::Open(const QString& folder) {
    Close();
    const QString where = folder.isEmpty() ? Folders::ReferenceDatabaseFolder() : folder;
    m_open = m_db.Open(where, QStringLiteral("velmor.db")) && m_db.OpenTable(QStringLiteral("TexteTab")) &&
             m_db.SetIndex(QStringLiteral("idx"));
    return m_open;
}

void CTextCatalog::Close() {
    if (m_open)
        m_db.CloseRecordset();
    m_open = false;
    m_language.clear();
    m_languageOk = false;
    m_texts.clear();
}

bool CTextCatalog::LoadLanguage(const QString& language) {
    m_language = language;
    m_texts.clear();
    // Brackets, not double quotes: an unknown column in double quotes would be read as a
    // string literal.
    QString column = language;
    column.remove(QLatin1Char(']'));
    // The lookup table stays the document's current recordset; the column is read on a
    // connection of its own so that nothing else runs on the document's connection.
    CAdoDatabase reader;
    m_languageOk = reader.Open(QFileInfo(m_db.FilePath()).path(), QFileInfo(m_db.FilePath()).fileName()) &&
                   reader.OpenQuery(QStringLiteral("SELECT TextID, [%1] AS T FROM TexteTab").arg(column));
    if (!m_languageOk)
        return false;
    m_texts.reserve(1024);
    for (bool ok = reader.MoveFirst(); ok && reader.HasRow(); ok = reader.MoveNext()) {
        qint32 id = 0;
        if (!reader.GetLong(QStringLiteral("TextID"), id))
            continue;
        QString text;
        if (!reader.GetString(QStringLiteral("T"), text))
            text = QString(); // NULL: a null string marks it
        else if (text.isNull())
            text = QStringLiteral("");
        m_texts.insert(id, text);
    }
    return true;
}

bool CTextCatalog::SeekText(qint32 textId, const QString& language, QString& text) {
    if (!m_open)
        return false;
    if (language != m_language && !LoadLanguage(language)) {
        text.clear();
        return false;
    }
    if (!m_languageOk) {
        text.clear();
        return false;
    }
    const auto it = m_texts.constFind(textId);
    if (it == m_texts.cend())
        return false;
    if (it->isNull()) {
        text.clear();
        return false;
    }
    text = *it;
    return true;
}

QString CTextCatalog::Text(qint32 textId, const QString& language, const QString& fallback) {
    QString text;
    return SeekText(textId, language, text) ? text : fallback;
}
