#pragma once

#include "store/AdoDatabase.h"

#include <QHash>
#include <QString>

// The text catalogue of velmor.db: every user-visible text is a TextID in the column of
// the current language. Lookups come from the language's column held in memory, loaded
// on first use of a language, because dialogs and reports ask for hundreds of texts.
class CTextCatalog {
public:
    // The seven language columns, in menu order.
    static const QStringList& Languages();

    // Opens velmor.db (in Folders::ReferenceDatabaseFolder() unless a folder is given);
    // true only if it opens and has the text table.
    bool Open(const QString& folder = QString());
    void Close();
    bool IsOpen() const { return m_open; }
    CAdoDatabase& Database() { return m_db; }

    // True with the text; false when the TextID is missing (text left as it was) or the
    // text is NULL or the language has no column (text emptied).
    bool SeekText(qint32 textId, const QString& language, QString& text);
    // The text, or the fallback when the lookup fails.
    QString Text(qint32 textId, const QString& language, const QString& fallback = QString());

private:
    bool LoadLanguage(const QString& language);

    CAdoDatabase m_db;
    bool m_open = false;
    QString m_language;             // language whose column is cached
    bool m_languageOk = false;      // the column exists
    QHash<qint32, QString> m_texts; // a null QString marks a NULL text
};
