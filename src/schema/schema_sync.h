// Keeping a project in step with its database: counting the differences (CheckDB, CheckTable)
// and merging them (SynchronizeDB and the single-table runs). New tables and fields come with
// default settings, vanished ones go, changed fields take the schema's values while every user
// setting stays, renamed fields and tables keep their settings when the user maps them, and
// settings that point at renamed or vanished fields follow or are cleared. Each run records its
// changes on the entities (TblSync, FldSync and their messages), in a change log and in a log
// file whose path goes to the project's SyncLog.
//
// Questions go through the prompter: "sync-field-mapping" and "sync-table-mapping" (answered one
// pair "OLD=NEW" at a time, "none" ends), "primary-key" ("keep" or "update").
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora {

class AGP;

// Differences between the project and its database; -1 when the schema cannot be read (ProjErr
// holds why, ProjErrDb the database's name).
std::int16_t CheckDB(AGP& project);
std::int16_t CheckTable(AGP& project, std::string_view TableName);

// Merges every difference; link tables only with CheckLinkDb. False when nothing could be done.
bool SynchronizeDB(AGP& project, bool CheckLinkDb);
bool SyncTable(AGP& project, std::string_view TableName);
// Re-read custom views, link tables or reports (sTable, or all of the kind when empty).
bool SyncCustom(AGP& project, std::string_view sTable);
bool SyncLinkTable(AGP& project, std::string_view sTable);
bool SyncReport(AGP& project, std::string_view sTable);

// One change of the last run: action "A", "C" or "D", kind "Field" (empty for tables), the
// table's name and type, the message, old and new value.
struct SyncChange {
    std::string action;
    std::string kind;
    std::string table;
    std::string tableType;
    std::string message;
    std::string oldValue;
    std::string newValue;
    std::string field;  // the field's name for field changes
};
const std::vector<SyncChange>& SyncChanges();

// Renames decided before a run (the command line's --rename), used instead of asking: per table,
// (old field, new field) pairs; and (old table, new table) pairs.
struct SyncRenames {
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> fields;
    std::vector<std::pair<std::string, std::string>> tables;
};
void SetSyncRenames(SyncRenames renames);
// Whether runs write their log file and set SyncLog (on unless a caller only looks).
void SetSyncLogWriting(bool write);

// The check a project read with Sync asks for: compares the project with its database and, when
// they differ, asks "sync-keep-or-update" and synchronises unless the answer is to keep. A schema
// that cannot be read is reported in a message box. Registered for the project reader by
// InstallReaderSchemaCheck.
void ReaderSchemaCheck(AGP& project);
void InstallReaderSchemaCheck();

// The log file's lines for the changes, without line ends: the header, then per table a "#"
// block and one line per change.
std::vector<std::string> SyncLogLines(const std::vector<SyncChange>& changes, std::string_view date);

}  // namespace velmora
