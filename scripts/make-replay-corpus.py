#!/usr/bin/env python3
"""Builds the statement corpus that the server tests replay (tests/pg/data/replay.tsv).

Run the suite with a statement log, then this script over the log:
    VELMOR_SQL_LOG=/tmp/sql.log ctest --test-dir build -E package_deb
    scripts/make-replay-corpus.py /tmp/sql.log tests/pg/data/replay.tsv

Keeps the reads and writes of the program (SELECT, INSERT, UPDATE, DELETE), each distinct
statement text with at most two sets of bound values, in a stable order. Statements that
only the SQLite file has (its catalogue, pragmas) and the file upgrade's schema changes
stay out: a server database is made whole by server-init.
"""
import sys

KEEP = ("SELECT", "INSERT", "UPDATE", "DELETE")
# Only the SQLite file has these: its catalogue, pragmas, and the name-key function of the
# file's own name index (a server orders and compares names through its collation).
FILE_ONLY = ("SQLITE_", "PRAGMA", "V740_NAMEKEY")
# What the tests themselves send to plant damage or read a value back, which a server
# refuses by design: a scalar subquery over several rows (SQLite takes the first), SQLite's
# blob functions, text in number and date columns.
TEST_ONLY = (
    "CAST((SELECT",
    "zeroblob(",
    "(SELECT Description FROM TypPartsTab) AS d",
    "UPDATE TypenTab SET ClassID = 'many'",
    "VALUES ('Dev', 'ACME', 'g1', 0, 'Drill', '')",
)


def main(log_path, out_path):
    variants = {}
    order = []
    with open(log_path, encoding="utf-8") as log:
        for line in log:
            line = line.rstrip("\n")
            if not line:
                continue
            sql = line.split("\t", 1)[0]
            head = sql.lstrip().split(" ", 1)[0].upper()
            if head not in KEEP or any(word in sql.upper() for word in FILE_ONLY):
                continue
            if any(text in sql for text in TEST_ONLY):
                continue
            seen = variants.setdefault(sql, [])
            if sql not in order:
                order.append(sql)
            if line not in seen and len(seen) < 2:
                seen.append(line)
    with open(out_path, "w", encoding="utf-8") as out:
        for sql in sorted(order):
            for line in variants[sql]:
                out.write(line + "\n")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: make-replay-corpus.py LOG CORPUS")
    main(sys.argv[1], sys.argv[2])
