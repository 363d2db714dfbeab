#pragma once

#include "app/BaseEntry.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

class CAdoDatabase;

// The property pages of the test specification sheet, assembled from the specification's
// classification profile: which pages it gets, with which rows, and the save that OK runs.
class CSpecSheetPages {
public:
    using Texts = std::function<QString(qint32 textId, const QString& fallback)>;

    enum class Role {
        General,
        LoopImpedance,
        MeasuringMethod,
        AppliedParts,
        Classification,
        Cord,
        Protective,
        Sequence
    };

    struct Page {
        Role role = Role::General;
        QString title;
        bool singleChoice = false;
        std::vector<std::unique_ptr<CBaseEntry>> rows;
    };

    // Reads TypenTab row specId (db) and the class/type references (ref, velmor.db).
    bool Load(CAdoDatabase& db, CAdoDatabase& ref, qint32 specId, const Texts& texts);

    // "UPDATE TypenTab SET " with the assignments of the editable rows of the general and
    // protective-measures pages and the marked row of the test sequence, then
    // "CreateDate = Now() WHERE id = %d".
    QString SaveStatement() const;
    enum class SaveResult {
        Saved,
        ChangedElsewhere, // another workstation changed the test specification since Load
        DatabaseError
    };
    // Runs the statement in one transaction; on a server only while the test specification is
    // still as Load read it (Message() tells otherwise).
    SaveResult Save(CAdoDatabase& db);
    const QString& Message() const { return m_message; }

    const Page* FindPage(Role role) const;

    qint32 id = 0;
    QString name;
    std::vector<Page> pages;

private:
    QString T(qint32 id, const char* fallback = "") const;
    Texts m_texts;
    QString m_version; // the row's version when it was read (RowVersion)
    QString m_message;
};
