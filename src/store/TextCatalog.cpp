#include "store/TextCatalog.h"

#include "platform/Folders.h"
#include "platform/SettingsFile.h"

const QStringList& CTextCatalog::Languages() {
    return CSettingsFile::Languages();
}

bool CTextCatalog::Open(const QString& folder) {
    Close();
    const QString where = folder.isEmpty() ? Folders::ReferenceDatabaseFolder() : folder;
    // Only the table's presence is checked here: the texts are read a language column at
    // a time when a language is first asked for, on this same connection.
    m_open = m_db.Open(where, QStringLiteral("velmor.db")) &&
             m_db.OpenQuery(QStringLiteral("SELECT TextID FROM TexteTab WHERE 0"));
    m_db.CloseRecordset();
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
    m_languageOk = m_db.OpenQuery(QStringLiteral("SELECT TextID, [%1] AS T FROM TexteTab").arg(column));
    if (!m_languageOk)
        return false;
    m_texts.reserve(1024);
    for (bool ok = m_db.MoveFirst(); ok && m_db.HasRow(); ok = m_db.MoveNext()) {
        qint32 id = 0;
        if (!m_db.GetLong(QStringLiteral("TextID"), id))
            continue;
        QString text;
        if (!m_db.GetString(QStringLiteral("T"), text))
            text = QString(); // NULL: a null string marks it
        else if (text.isNull())
            text = QStringLiteral("");
        m_texts.insert(id, text);
    }
    m_db.CloseRecordset();
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
