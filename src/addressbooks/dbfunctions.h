#pragma once

#include "addressbooks/records.h"
#include "platform/dbconnection.h"
#include "platform/dbsession.h"
#include "platform/recordset.h"

#include <QString>
#include <memory>

// Every value put between single quotes in SQL text passes through here:
// each "'" becomes "''", nothing else changes ("%" and "_" keep their
// meaning in LIKE patterns). Adds no quotes of its own.
QString escapeSQL(const QString& text);

// Text bound for a Database book's SQL: some engines take a backslash inside
// quotes for an escape, which would let the text end its quotes, so text
// holding one raises 3146 before anything is sent. (A Local book's engine
// never escapes with backslashes and takes any text.)
void checkDatabaseText(const QString& text);

// A table name or column mapping of the Database book bookName: "" (not
// mapped) or a plain SQL name (isPlainSqlName); anything else raises 3146
// naming the book.
void checkBookSqlName(const QString& bookName, const QString& name);
// Every table, column and grouping name of the book (the grouping columns in use).
void checkDatabaseBookNames(const DatabaseAddressBook& book);

// How long an operation on a Local book waits for a lock held by another
// program; a caller-ID lookup waits less, so a ringing call is never held up.
constexpr int kLocalBookBusyWaitMs = 2000;
constexpr int kCallerIDBusyWaitMs = 250;

// How long an operation on a Database book waits for its data source, and
// the shorter wait of a caller-ID lookup.
constexpr int kDatabaseBookWaitMs = 5000;
constexpr int kCallerIDDatabaseWaitMs = 2000;

// A connection to the book's data source, user and password, waiting at most
// waitMs for it. Before any statement it refuses, with 3146 naming the book, a
// name quoted otherwise than the data source's driver quotes names: an engine
// may read "x" as a text, not a column.
DBConnection bookConnection(const DatabaseAddressBook& book, int waitMs = kDatabaseBookWaitMs);
// The error again, its description naming the book; a data source that did
// not answer in time is told of in the user's language.
[[noreturn]] void raiseBookError(const DatabaseAddressBook& book, const AppError& e);
// Runs op on the book's connection; a failure names the book.
template <typename Op>
auto onDatabaseBook(const DatabaseAddressBook& book, Op&& op, int waitMs = kDatabaseBookWaitMs) {
    try {
        return op(bookConnection(book, waitMs));
    } catch (const AppError& e) {
        raiseBookError(book, e);
    }
}

// A Local book is an SQLite file holding the one table TAMRIVO:
//   ID integer auto-increment key (ids are never reused), name (40, not
//   Null), telephone (20), email (100), telephone2 (20), telephone3 (20),
//   email2 (100), freetext (250); text compares without regard to ASCII
//   case, and a value longer than its column is refused.
//
// Connection text of a Local book file: an SQLite URI that opens the file
// for reading and writing and never creates it. An empty path raises 3151.
QString localConnectionString(const QString& filename);

// Opens a Local book file. Raises 3151 when the path is empty, the file does
// not exist (nothing is created), is not an SQLite file or holds no TAMRIVO,
// or is locked by another program for longer than busyWaitMs ("is busy").
std::unique_ptr<DbSession> openLocalBook(const QString& filename,
                                         int busyWaitMs = kLocalBookBusyWaitMs);

// Open, run, close: every row of a query on a Local book file.
Recordset queryLocalBook(const QString& filename, const QString& sql,
                         int busyWaitMs = kLocalBookBusyWaitMs);
// Open, run, close: one statement on a Local book file; answers the rows it
// changed.
int executeLocalBook(const QString& filename, const QString& sql);

// Creates a new Local book file with its empty TAMRIVO table. Never
// overwrites: an existing file raises 3146 and stays as it was. When the
// table cannot be made the new file is removed again.
void createLocalAddressBook(const QString& path);

// The statement that makes the TAMRIVO table.
QString localTableDefinition();
