#pragma once

#include "app/BaseClass.h"

// The one plain sentence shown for a catalogue function that this build lacks.
QString NotInThisBuildText(CVELMOR740PCRemoteDoc& doc, qint32 captionTextId);
// The caption TextID of the catalogue entry that opens the dialog.
qint32 CatalogueCaption(CatalogueDialog dialog);

// Catalogue entry Import: opens the import dialog and stores what it changed.
class CImportObject : public CBaseClass {
public:
    void DoClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;
    void DoDoubleClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;
};

// Catalogue entry Software update of the tester.
class CRS232SoftwareUpdate : public CBaseClass {
public:
    void DoClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;
    void DoDoubleClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;
};

// Catalogue entry Print header.
class CPrintHeaderObject : public CBaseClass {
public:
    void DoClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;
    void DoDoubleClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;
};

// Catalogue entry RS232 connection test.
class CRS232VerbindungsTest : public CBaseClass {
public:
    void DoClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;
    void DoDoubleClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;
};

// Stands in for a data directory (test specifications or device protocols) that this
// build lacks: it shows the directory's hints, and opening it says it is missing.
class CPendingDirectory : public CBaseClass {
public:
    CPendingDirectory(qint32 captionTextId, QList<qint32> hintTextIds, qint32 emptyClickHintTextId)
        : m_caption(captionTextId), m_hint(std::move(hintTextIds)), m_emptyHint(emptyClickHintTextId) {}
    void DoClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;
    void DoDoubleClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;
    void DoEmptyClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;
    void DoFilterFunction(CDirectoryView&, CVELMOR740PCRemoteDoc&) override {}
    void RefreshView(CDirectoryView&, CVELMOR740PCRemoteDoc&) override {}

private:
    qint32 m_caption;
    QList<qint32> m_hint;
    qint32 m_emptyHint;
};
