// mkvelmor: builds the reference database velmor.db from the reviewable text sources
// under data/ (texts/*.tsv and reference/*.tsv). Any malformed row stops the build.
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kLanguages[] = {"Castellano", "Česky",    "Deutsch",       "English",
                                  "Français",   "Italiano", "Österreichisch"};

[[noreturn]] void Die(const std::string& msg) {
    std::fprintf(stderr, "mkvelmor: %s\n", msg.c_str());
    std::exit(1);
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : line) {
        if (c == '\t') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    return out;
}

std::vector<std::vector<std::string>> ReadTsv(const fs::path& path, const std::vector<std::string>& header) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        Die("cannot read " + path.string());
    std::string line;
    std::vector<std::vector<std::string>> rows;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (lineNo == 1) {
            if (line.rfind("\xEF\xBB\xBF", 0) == 0)
                line.erase(0, 3);
            if (Split(line) != header)
                Die(path.string() + ": unexpected header");
            continue;
        }
        if (line.empty())
            continue;
        auto fields = Split(line);
        if (fields.size() != header.size())
            Die(path.string() + ":" + std::to_string(lineNo) + ": expected " + std::to_string(header.size()) +
                " fields, found " + std::to_string(fields.size()));
        rows.push_back(std::move(fields));
    }
    return rows;
}

long ToLong(const std::string& s, const fs::path& path) {
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end)
        Die(path.string() + ": not a number: '" + s + "'");
    return v;
}

// \n, \t and \\ in a source text stand for a line break, a tab and a backslash.
std::string Unescape(const std::string& s, const fs::path& path) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (i + 1 >= s.size())
            Die(path.string() + ": text ends in a lone backslash: " + s);
        const char n = s[++i];
        if (n == 'n')
            out += '\n';
        else if (n == 't')
            out += '\t';
        else if (n == '\\')
            out += '\\';
        else
            Die(path.string() + ": unknown escape \\" + std::string(1, n) + " in: " + s);
    }
    return out;
}

void Exec(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK)
        Die(std::string("SQL failed: ") + (err ? err : "?") + "\n" + sql);
}

void InsertRows(sqlite3* db, const std::string& sql, const std::vector<std::vector<std::string>>& rows,
                const std::vector<bool>& numeric, const fs::path& path) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
        Die("prepare failed: " + sql);
    for (const auto& row : rows) {
        for (size_t c = 0; c < row.size(); ++c) {
            if (numeric[c])
                sqlite3_bind_int64(st, int(c + 1), ToLong(row[c], path));
            else if (row[c].empty())
                sqlite3_bind_null(st, int(c + 1));
            else {
                const std::string text = Unescape(row[c], path);
                sqlite3_bind_text(st, int(c + 1), text.c_str(), int(text.size()), SQLITE_TRANSIENT);
            }
        }
        if (sqlite3_step(st) != SQLITE_DONE)
            Die(std::string("insert failed: ") + sqlite3_errmsg(db) + " in " + path.string());
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        Die("usage: mkvelmor DATA-DIR OUTPUT.db");
    const fs::path data = argv[1];
    const fs::path output = argv[2];
    const fs::path temp = output.string() + ".tmp";
    fs::remove(temp);

    sqlite3* db = nullptr;
    if (sqlite3_open(temp.c_str(), &db) != SQLITE_OK)
        Die("cannot create " + temp.string());
    Exec(db, "PRAGMA journal_mode = OFF; BEGIN");

    std::string langCols, langNames, placeholders;
    for (const char* lang : kLanguages) {
        langCols += std::string(", \"") + lang + "\" TEXT COLLATE NOCASE";
        langNames += std::string(", \"") + lang + "\"";
        placeholders += ", ?";
    }
    Exec(db, "CREATE TABLE TexteTab (TextID LONG" + langCols + ")");
    Exec(db, "CREATE TABLE MessTab (MeasNo LONG, MessNrTextID LONG, MesswertEinheit TEXT(20) COLLATE NOCASE, "
             "MinValue TEXT(20) COLLATE NOCASE, MaxValue TEXT(20) COLLATE NOCASE, Digits LONG, "
             "LimitCompareMode LONG, BuchsenAktiv LONG)");
    Exec(db, "CREATE TABLE NormenTab (NormID LONG, CalcFactor LONG)");
    Exec(db, "CREATE TABLE ClassIDTypIDRefTab (ClassID LONG, StandardID LONG, TypID LONG)");

    std::vector<std::string> textHeader{"TextID"};
    for (const char* lang : kLanguages)
        textHeader.emplace_back(lang);
    std::vector<bool> textNumeric{true, false, false, false, false, false, false, false};
    std::set<fs::path> textFiles;
    for (const auto& e : fs::directory_iterator(data / "texts"))
        if (e.path().extension() == ".tsv")
            textFiles.insert(e.path());
    std::map<long, std::string> seen;
    size_t textCount = 0;
    for (const auto& file : textFiles) {
        const auto rows = ReadTsv(file, textHeader);
        for (const auto& row : rows) {
            const long id = ToLong(row[0], file);
            if (auto it = seen.find(id); it != seen.end())
                Die("TextID " + row[0] + " appears in " + it->second + " and " + file.filename().string());
            seen[id] = file.filename().string();
        }
        InsertRows(db, "INSERT INTO TexteTab (TextID" + langNames + ") VALUES (?" + placeholders + ")", rows,
                   textNumeric, file);
        textCount += rows.size();
    }

    const fs::path ref = data / "reference";
    InsertRows(db, "INSERT INTO MessTab VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
               ReadTsv(ref / "MessTab.tsv", {"MeasNo", "MessNrTextID", "MesswertEinheit", "MinValue",
                                             "MaxValue", "Digits", "LimitCompareMode", "BuchsenAktiv"}),
               {true, true, false, false, false, true, true, true}, ref / "MessTab.tsv");
    InsertRows(db, "INSERT INTO NormenTab VALUES (?, ?)",
               ReadTsv(ref / "NormenTab.tsv", {"NormID", "CalcFactor"}), {true, true}, ref / "NormenTab.tsv");
    InsertRows(db, "INSERT INTO ClassIDTypIDRefTab VALUES (?, ?, ?)",
               ReadTsv(ref / "ClassIDTypIDRefTab.tsv", {"ClassID", "StandardID", "TypID"}),
               {true, true, true}, ref / "ClassIDTypIDRefTab.tsv");

    // Index names carry their table's name: SQLite's index names are per database.
    Exec(db, "CREATE UNIQUE INDEX TexteTab_idx ON TexteTab (TextID)");
    Exec(db, "CREATE UNIQUE INDEX MessTab_idx ON MessTab (MeasNo)");
    Exec(db, "CREATE INDEX NormenTab_idx ON NormenTab (NormID)");
    Exec(db, "CREATE INDEX ClassIDTypIDRefTab_idx ON ClassIDTypIDRefTab (ClassID, StandardID)");
    Exec(db, "COMMIT");
    sqlite3_close(db);
    fs::rename(temp, output);
    std::printf("mkvelmor: %s with %zu texts\n", output.c_str(), textCount);
    return 0;
}
