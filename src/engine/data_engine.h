// The list's data engine: a data control and its recordset over SQLite,
// or through ODBC on a database server (below, "Lists on a database
// server").
//
// The data model. A data control holds seven settings and, once refreshed,
// one recordset. DatabaseName names an existing SQLite file, always opened
// read-only: the engine never creates, locks for writing or changes it.
// RecordSource is a table or view name (bare, or in [brackets] or double
// quotes) or a SELECT / WITH / VALUES statement; any statement that could
// write, or is not a query at all, is refused. A recordset is a fixed
// sequence of records in the recordset's own order, numbered from 0. The
// opening reads in one transaction and ends it: the list holds no lock on
// the file while it is open, so other connections (the application's own)
// write to it as usual, in rollback-journal mode too. The engine keeps no
// rows in memory: for a table it keeps the rowids in rowid order (the
// order is pinned, so an index added to the table never reorders the
// list), and a view or statement is copied once, at opening, into a TEMP
// table on disk whose rowids are the positions. Records are read from
// SQLite when asked for, each read a short statement of its own, through a
// small cache of recent rows. A table's records are the ones it had at the
// opening: a record changed since reads its new values, a record deleted
// since is reported (3167) through the error notification, a record added
// since shows at the next Refresh.
//
// Other connections' commits. Every read of a row is a transaction of its
// own, and SQLite tells the engine, without touching the file, whether
// that transaction met a commit. A find reads nothing: it looks at the file
// (one short transaction, a few system calls) only when no read or find
// looked within the freshness interval, 50 ms, which is one user action:
// the finds and reads of one key release share one look, and a warm find
// makes no system call at all.
//
// How fresh a find is. A find answers from the file as it was at most
// 50 ms before it: a commit made within the interval after the last look
// may not be seen yet. Once a commit is seen, the row cache goes and the
// find indexes in use become stale; the worker thread is asked for fresh
// ones. Meanwhile the stale index goes on answering, each answer read from
// the file and checked against the criteria; when the commit changed that
// record the records are scanned in order instead (stopping as soon as the
// fresh index is in). So every find's record satisfies the criteria as the
// file is at the find (within the interval), but until the fresh index is
// in, a record that came to satisfy them only with the commit is not found
// yet. How soon it is in:
//   - WAL file, a commit that wrote none of the list's table's pages (a
//     form saving to another table): the worker reads the new frames'
//     headers in the write-ahead log and keeps the index, well under a
//     millisecond after the look (the first time, plus the time to list
//     the table's pages: about 40 ms a million records). A commit that
//     changes the schema, and the first commit after the log restarts
//     (SQLite empties it after a checkpoint), count as changing the table.
//   - A commit to the list's table, and any commit to a rollback-journal
//     file (which keeps no record of what a commit wrote): a build's time,
//     about 0.3 s a million records.
// In rollback-journal mode a reader's shared lock stands in a writer's
// way, so the worker reads in slices of 8192 records, each a transaction
// of its own: a committing writer waits for at most one slice (about a
// millisecond), and only while a build runs. A writer without a busy
// timeout may meet SQLITE_BUSY then, as it may at any row read of the list.
//
// What runs where. Everything the caller calls, and every notification,
// runs on the caller's thread. Each recordset may have one worker thread.
// Over a table of a file it has a read-only connection of its own: it
// builds find indexes (right after the opening the first text field's, or
// the fields searched before a Refresh; after a commit the ones in use),
// or keeps them (above), and hands each over whole; the recordset takes
// them at its next find. Over a copy (a view's or statement's records,
// which only the list's connection sees) the recordset's thread reads the
// keys of the first text field (or of the fields searched before) right
// after the copy, and of another field at its first find; the worker
// folds and sorts them. Closing the recordset interrupts the worker and
// joins it. A find on a field whose index is not there yet reads the
// records in order until it finds the record or the index arrives. The
// engine's tests run under ThreadSanitizer (the tsan preset).
//
// Finds. A find parses its criteria (`field op value`, never pasted into SQL) into a
// predicate and answers it from a find index of that field, built at the
// first find on the field (or ahead of it, as above): the field's
// keys (text case-folded with full Unicode folding, numbers and dates as
// doubles) sorted with their positions, and a range-minimum table over
// those positions, so "the first record in recordset order whose key lies
// in this sorted range" costs a binary search and a constant-time minimum,
// whatever the recordset's order. Patterns without a literal prefix scan the
// index's compact key column, in recordset order, stopping at the first
// match. Text order everywhere is the order of the folded text by code
// point; the connection offers the same order to SQL as the collation
// FOLD, so a record source sorted with `ORDER BY Name COLLATE FOLD` is
// sorted exactly as finds compare.
//
// Failures use the platform's numbers where they exist (3021, 3024, 3265, 91,
// 380, 7) and these of the engine's own, each with a description naming the
// file, record source, field or criteria concerned:
//   3000  any other SQLite failure, with SQLite's own message
//   3027  the record source could write, or is not a query (refused)
//   3043  a disk or I/O failure while reading
//   3049  the database file is damaged
//   3050  the database file is locked by a writer and stayed locked for the
//         busy timeout (OpeningLimits::busyMilliseconds)
//   3051  the file exists but cannot be opened (permissions, a folder, a
//         FIFO, a device: anything but a regular file or a link to one)
//   3057  the file needs recovery: a writer stopped in the middle of a
//         change and left a hot journal, which only a writer may roll back
//   3058  the opening went past one of its limits (OpeningLimits)
//   3059  the opening was cancelled: its progress hook said stop
//         (OpeningProgress), or a Refresh came while it ran
//   3061  the record source statement has parameters that nothing supplies
//   3070  a criteria names a field that the recordset does not have
//   3075  a criteria or its pattern is malformed
//   3078  no table or view of the record source's name (also inside a SELECT)
//   3131  the record source statement has a syntax or other SQL error
//   3167  the record was deleted by another connection after the opening
//   3219  RecordsetType 0 (table) asked of a view or a statement
//   3343  the file is not a SQLite database
//   3464  a criteria value that does not convert to the field's type
// and, on a database server:
//   3146  a call on the open connection failed (the server went away): the
//         driver's message
//   3151  connecting failed (server down or unreachable, wrong password,
//         unknown database, no such driver or data source, a connection
//         string with a syntax error): the driver's message
//
// Lists on a database server. A Connect that begins with "ODBC;" opens the
// list through the ODBC driver manager (unixODBC), with the rest of Connect
// as the connection string; DatabaseName may be empty, and when it is not
// and the connection string names no database, it is the database. Only a
// PostgreSQL server is opened (any other is refused with 3151): its session
// is made read-only (every transaction of it that does not ask otherwise)
// with standard_conforming_strings on, so a function that writes, called
// from a query, is refused by the server (3027); SQL_ATTR_ACCESS_MODE is
// asked read-only too, a hint that drivers may ignore. The record source
// passes its own check first: one statement that starts as a query, with no
// writing or locking verb outside its quoted text and comments, and no
// backslash in a plain '...' constant; the driver prepares it on the server
// (UseServerSidePrepare=1). The check is what keeps out a second statement:
// the driver splits a text at the semicolons it sees and runs each part. A table lists in the order of its
// primary key, without one in the order of all its sortable columns; a view or a query in its own order. The
// records are read once, at the opening, in blocks from a cursor on the server (the driver holds one block,
// not the whole result), into a TEMP table of a private SQLite store, from which the rows, finds and indexes
// are served as for a statement over a file: the server's later changes show at the next Refresh. The
// opening's time limit runs through every step: connecting gets what is left of it (whole seconds), the
// catalog lookups and the query each the milliseconds left (statement_timeout), and it is checked between
// blocks (the query is cancelled). Once open, the list looks at its connection at a find, at most once in the
// freshness interval, never at a read (reads are of the local copy and never wait for the network): a lost
// connection fails that find (3146, through the error notification), every later find and every read of a row
// not already read, until a Refresh. Passwords never appear in a failure's description: connecting quotes
// only the driver, data source, server, port, database and user of the connection string, and nothing of one
// that does not parse; the Connect setting keeps what was typed. Everything of the server runs on the
// caller's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/data.h"

namespace quorvel::engine {

namespace failure_code {
inline constexpr std::int32_t kEngineFailure = 3000;
inline constexpr std::int32_t kReadOnly = 3027;
inline constexpr std::int32_t kDiskError = 3043;
inline constexpr std::int32_t kDatabaseCorrupt = 3049;
inline constexpr std::int32_t kLocked = 3050;
inline constexpr std::int32_t kCannotOpen = 3051;
inline constexpr std::int32_t kNeedsRecovery = 3057;
inline constexpr std::int32_t kOpeningLimit = 3058;
inline constexpr std::int32_t kOpeningCancelled = 3059;
inline constexpr std::int32_t kTooFewParameters = 3061;
inline constexpr std::int32_t kUnknownCriteriaField = 3070;
inline constexpr std::int32_t kCriteriaSyntax = 3075;
inline constexpr std::int32_t kTableNotFound = 3078;
inline constexpr std::int32_t kRecordSourceSyntax = 3131;
inline constexpr std::int32_t kRecordDeleted = 3167;
inline constexpr std::int32_t kInvalidOperation = 3219;
inline constexpr std::int32_t kNotADatabase = 3343;
inline constexpr std::int32_t kCriteriaTypeMismatch = 3464;
}  // namespace failure_code

// The Action values of the validate notification: the move that is about to
// leave the current record. A handler that sets Action to kActionCancel
// cancels the move; the current record then stays and no reposition follows.
// Save comes as False (the list never edits a record) and is not used.
namespace validate_action {
inline constexpr std::int16_t kCancel = 0;
inline constexpr std::int16_t kMoveFirst = 1;
inline constexpr std::int16_t kMovePrevious = 2;
inline constexpr std::int16_t kMoveNext = 3;
inline constexpr std::int16_t kMoveLast = 4;
inline constexpr std::int16_t kFind = 8;
inline constexpr std::int16_t kBookmark = 9;
}  // namespace validate_action

// The Response values of the error notification, raised with DataErr set to
// the failure's number when reading a record fails. Left at kDisplay, the
// failure goes on to the caller; set to kContinue, the engine drops it: the
// value read is Null, a find reports NoMatch.
namespace error_response {
inline constexpr std::int16_t kContinue = 0;
inline constexpr std::int16_t kDisplay = 1;
}  // namespace error_response

// What one opening may take: a record source that runs longer, gives more
// records or needs a larger copy of its records fails with 3058 naming the
// limit, and the opening leaves nothing behind. The defaults leave room for
// ten million ordinary records (about 15 s and 750 MB of copy for a sorted
// statement over them).
struct OpeningLimits {
    std::int64_t milliseconds = 120'000;
    std::int64_t records = 50'000'000;
    // The TEMP copy of a view's or statement's records, in its own file.
    std::int64_t copyBytes = std::int64_t{4} << 30;
    // The busy timeout: how long the opening, and every later read of the
    // recordset it opens, waits for a writer's lock on the file before it
    // fails with 3050. Zero or less fails at once; more than 2^31 - 1 ms
    // waits that long.
    std::int64_t busyMilliseconds = 2'000;
};

// A data control with the design-time defaults of a new one: no database,
// no record source, Connect "Access 2000;", RecordsetType 1 (dynaset),
// DefaultType 2, DefaultCursorType 0, Options 0, Caption "Data1".
//
// Refresh with an empty DatabaseName fails with 3024, with an empty
// RecordSource with 91 (there is nothing to open); either way the data
// control is left without a recordset. RecordsetType accepts 0, 1 and 2 and
// refuses any other value with 380; the other settings are stored as given.
std::shared_ptr<DataControl> createDataControl();

// Sets the limits of the data control's later openings; false (and nothing
// set) for a data control of another engine.
bool setOpeningLimits(DataControl& control, const OpeningLimits& limits);

// Told, on the caller's thread and from inside an opening, how many records
// it has read so far: about every 50 ms of the opening (not at every
// record), the counts never going down; a long sort before the first record
// is read shows as 0. Returning false cancels the opening: it fails with
// 3059 and leaves the data control without a recordset, as any failed
// opening does. The hook may run any code of the host (pump its events, open
// other connections) but not use the recordset being opened. A Refresh of
// the same data control from inside the hook (or from anything it runs)
// returns at once and cancels the running opening; the outer Refresh then
// opens the settings as they are by then and reports no failure. A
// recordset set on the data control from inside the hook stops the running
// opening too and is taken once it has unwound (the last of the two calls
// wins). Settings changed during an opening are only stored.
using OpeningProgress = std::function<bool(std::int64_t recordsRead)>;

// Sets the hook of the data control's later openings (an empty one removes
// it); false (and nothing set) for a data control of another engine.
bool setOpeningProgress(DataControl& control, OpeningProgress progress);

// With `on`, the data control's later openings of a large table read in
// place read its first records and go on reading the rest on a thread of
// their own: the list shows at once, RecordCount counts the records read
// so far and grows while the recordset's stillReading() is true. A move
// or a read past them, MoveLast and a find wait for the records they need;
// finds are answered by reading the records until all are in. Off by
// default, for callers that take RecordCount as final right after an
// opening; false (and nothing set) for a data control of another engine.
bool setBackgroundPositions(DataControl& control, bool on);

}  // namespace quorvel::engine
