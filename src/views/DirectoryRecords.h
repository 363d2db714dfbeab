#pragma once

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class CAdoDatabase;

// The records of the two data directories as the list shows them, and the changes the
// directories make to them: history, select as current, delete. No windows: the list,
// the command line and the benchmarks use the same code.
namespace DirectoryRecords {

enum class Kind { Specifications, Protocols };

// One directory column: header TextID, width in pixels.
struct Column {
    qint32 headerTextId;
    int width;
};
const QList<Column>& Columns(Kind kind);
// View-settings directory id (50 or 60), filter-dialog key ("TYPE", "GERAETE"), base query.
int SettingsDirectory(Kind kind);
QString FilterKey(Kind kind);
QString BaseQuery(Kind kind);
QString DefaultQuery(Kind kind);
QString HistoryQuery(const QString& guid);

struct Row {
    qint32 id = 0;
    QStringList cells;   // the directory's columns in order
    bool current = true; // History = 0 (device protocols)
    QDate nextTest;      // device protocols: the date part of NextTestDate, invalid for none
};

// Looks a catalogue text up; result and standard cells are catalogue texts.
using TextLookup = std::function<QString(qint32)>;

// Runs one list statement and reads its rows. False when it does not run.
bool ReadRows(CAdoDatabase& db, Kind kind, const QString& sql, const TextLookup& text,
              std::vector<Row>& rows);

struct ListResult {
    bool ok = false;
    bool filtered = false;          // the stored query ran: the title gets the filtered mark
    bool filterSwitchedOff = false; // the stored query failed and was stored off
    int storedFilterOn = 0;         // the stored filter after the load (-1 on, 0 off)
    QString storedQuery;            // and its query
    std::vector<Row> rows;
};
// The list load: the stored filter query when it is on (switched off and stored off when it
// fails), otherwise the default query. databaseFile/dataFolder locate the view settings.
// A reader that must not write (v740ctl list) passes storeSwitchOff false.
ListResult LoadList(CAdoDatabase& db, Kind kind, const QString& databaseFile, const QString& dataFolder,
                    const TextLookup& text, bool storeSwitchOff = true);

// The history list of a device: all protocols with its myGUID, newest first.
bool LoadHistory(CAdoDatabase& db, const QString& guid, const TextLookup& text, std::vector<Row>& rows);

// myGUID of a device protocol; false when the id does not exist.
bool GuidOf(CAdoDatabase& db, qint32 id, QString& guid);
// A text column of one record read by id (Device, Name); false when the id does not exist.
bool RecordText(CAdoDatabase& db, Kind kind, qint32 id, const QString& column, QString& value);

// Makes the protocol the current one of its device, in one transaction.
bool SelectAsCurrent(CAdoDatabase& db, qint32 id);

// The delete of selected records. Directory mode: a specification with every protocol made
// with it, a device protocol with its device's whole history. History mode (protocols
// only): the rows themselves, and when a current one went, the newest remaining protocol of
// that device becomes current. One transaction; a failure rolls all back, a cancel
// commits what was deleted so far.
struct DeleteCallbacks {
    std::function<void(const QString& name, int done, int total)> progress;
    std::function<bool()> cancelled;
};
struct DeleteResult {
    bool ok = false;
    bool cancelled = false;
    int deleted = 0;       // ids handled before the end
    qint32 promotedId = 0; // history mode: the protocol made current (the back position)
    QString failedName;    // the record whose statement failed
};
DeleteResult Delete(CAdoDatabase& db, Kind kind, const QList<qint32>& ids, bool historyMode,
                    const DeleteCallbacks& callbacks = {});

} // namespace DirectoryRecords
