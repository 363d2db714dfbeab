#pragma once

#include "store/TextCatalog.h"

// The reference-database texts for one owner (the filter dialog, a report): its own
// connection to velmor.db, opened when its owner needs texts.
class CTexte {
public:
    CTexte() = default;
    virtual ~CTexte() = default;
    bool Open(const QString& folder = QString()) { return m_catalog.Open(folder); }
    bool IsOpen() const { return m_catalog.IsOpen(); }
    bool SeekText(qint32 textId, const QString& language, QString& text) {
        return m_catalog.SeekText(textId, language, text);
    }
    QString Text(qint32 textId, const QString& language, const QString& fallback = QString()) {
        return m_catalog.Text(textId, language, fallback);
    }

private:
    CTextCatalog m_catalog;
};
