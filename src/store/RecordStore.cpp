#include "store/RecordStore.h"

#include <cstring>
#include <sqlite3.h>

namespace {
// An empty text keeps a pointer, so that it reads back as an empty, not a null, QString.
const char kEmpty[1] = {0};
} // namespace

static_assert(CRecordStore::kInteger == SQLITE_INTEGER && CRecordStore::kFloat == SQLITE_FLOAT &&
              CRecordStore::kText == SQLITE_TEXT && CRecordStore::kBlob == SQLITE_BLOB &&
              CRecordStore::kNull == SQLITE_NULL);

void CRecordStore::AddText(const char* text, quint32 bytes) {
    Cell& cell = NewCell();
    cell.type = kText;
    cell.bytes = bytes;
    cell.p = bytes ? Keep(text, bytes) : kEmpty;
}

QString CRecordStore::Cell::Text() const {
    switch (type) {
    case SQLITE_TEXT:
        return QString::fromUtf8(p, qsizetype(bytes));
    case SQLITE_BLOB:
        return QString::fromLatin1(p, qsizetype(bytes));
    case SQLITE_INTEGER:
        return QString::number(i);
    case SQLITE_FLOAT:
        return QString::number(d);
    default:
        return QString();
    }
}

void CRecordStore::Clear() {
    m_columns = 0;
    m_rows = 0;
    m_cellCount = 0;
    m_cells.clear();
    m_bytes.clear();
    m_bytesLeft = 0;
    m_bytesNext = nullptr;
}

CRecordStore::Cell& CRecordStore::NewCell() {
    const qsizetype offset = m_cellCount & (kCellsPerChunk - 1);
    if (offset == 0)
        m_cells.emplace_back(new Cell[std::size_t(kCellsPerChunk)]);
    ++m_cellCount;
    return m_cells.back()[std::size_t(offset)];
}

const char* CRecordStore::Keep(const void* data, quint32 bytes) {
    if (bytes > m_bytesLeft) {
        // A long value gets a block of its own, so the current chunk stays in use.
        if (bytes > kBytesPerChunk / 4) {
            m_bytes.emplace_back(new char[bytes]);
            std::memcpy(m_bytes.back().get(), data, bytes);
            return m_bytes.back().get();
        }
        m_bytes.emplace_back(new char[kBytesPerChunk]);
        m_bytesNext = m_bytes.back().get();
        m_bytesLeft = kBytesPerChunk;
    }
    char* out = m_bytesNext;
    std::memcpy(out, data, bytes);
    m_bytesNext += bytes;
    m_bytesLeft -= bytes;
    return out;
}

int CRecordStore::ReadAll(sqlite3_stmt* stmt) {
    Clear();
    m_columns = sqlite3_column_count(stmt);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int c = 0; c < m_columns; ++c) {
            Cell& cell = NewCell();
            cell.type = sqlite3_column_type(stmt, c);
            cell.bytes = 0;
            cell.i = 0;
            switch (cell.type) {
            case SQLITE_INTEGER:
                cell.i = sqlite3_column_int64(stmt, c);
                break;
            case SQLITE_FLOAT:
                cell.d = sqlite3_column_double(stmt, c);
                break;
            case SQLITE_TEXT: {
                const auto* text = sqlite3_column_text(stmt, c);
                cell.bytes = quint32(sqlite3_column_bytes(stmt, c));
                cell.p = cell.bytes ? Keep(text, cell.bytes) : (text ? kEmpty : nullptr);
                break;
            }
            case SQLITE_BLOB: {
                const void* blob = sqlite3_column_blob(stmt, c);
                cell.bytes = quint32(sqlite3_column_bytes(stmt, c));
                cell.p = cell.bytes ? Keep(blob, cell.bytes) : nullptr;
                break;
            }
            default:
                break;
            }
        }
        ++m_rows;
    }
    return rc;
}
