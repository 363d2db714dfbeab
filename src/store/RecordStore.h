#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>
#include <vector>

struct sqlite3_stmt;

// Every row of one statement, read in a single pass and kept compactly: one small cell per
// value, and the bytes of texts and blobs as SQLite hands them out, in chunks that never
// move. Texts become QStrings only when a caller asks for one, so a list of 100,000 rows
// costs its data and little more, and the statement is finished before anyone reads.
class CRecordStore {
public:
    struct Cell {
        union {
            qint64 i;
            double d;
            const char* p;
        };
        quint32 bytes;
        int type; // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL

        // The text as the old per-cell copies held it: UTF-8 for text, one byte per
        // character for a blob; a null QString for NULL and for an empty blob.
        QString Text() const;
    };

    CRecordStore() = default;
    CRecordStore(const CRecordStore&) = delete;
    CRecordStore& operator=(const CRecordStore&) = delete;

    // Cell types: SQLite's numbers, which the SQLite backend stores as they come.
    enum : int { kInteger = 1, kFloat = 2, kText = 3, kBlob = 4, kNull = 5 };

    // Steps the statement to its end and keeps every row; returns the result code of the
    // last step (SQLITE_DONE when all went well).
    int ReadAll(sqlite3_stmt* stmt);
    void Clear();

    // Filling the store value by value, row by row, from another source (a server's rows).
    void Start(int columns) {
        Clear();
        m_columns = columns;
    }
    void AddNull() { NewCell() = Cell{{0}, 0, kNull}; }
    void AddInteger(qint64 value) {
        Cell& cell = NewCell();
        cell.type = kInteger;
        cell.bytes = 0;
        cell.i = value;
    }
    void AddFloat(double value) {
        Cell& cell = NewCell();
        cell.type = kFloat;
        cell.bytes = 0;
        cell.d = value;
    }
    void AddText(const char* text, quint32 bytes);
    void EndRow() { ++m_rows; }

    int ColumnCount() const { return m_columns; }
    qsizetype RowCount() const { return m_rows; }
    const Cell& At(qsizetype row, int column) const {
        const qsizetype index = row * m_columns + column;
        return m_cells[std::size_t(index >> kCellShift)][std::size_t(index & (kCellsPerChunk - 1))];
    }

private:
    static constexpr int kCellShift = 14;
    static constexpr qsizetype kCellsPerChunk = qsizetype(1) << kCellShift; // 256 KB of cells
    static constexpr std::size_t kBytesPerChunk = 256 * 1024;

    Cell& NewCell();
    const char* Keep(const void* data, quint32 bytes);

    int m_columns = 0;
    qsizetype m_rows = 0;
    qsizetype m_cellCount = 0;
    std::vector<std::unique_ptr<Cell[]>> m_cells;
    std::vector<std::unique_ptr<char[]>> m_bytes;
    std::size_t m_bytesLeft = 0;
    char* m_bytesNext = nullptr;
};
