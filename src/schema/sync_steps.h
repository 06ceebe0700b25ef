// The parts of a synchronisation run: comparing a project table with a fresh read of it, merging
// the fresh fields in, and repairing what pointed at renamed or removed tables and fields.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "schema/schema_sync.h"

namespace velmora {

class AGP;
class AGPField;
class AGPStatus;
class AGPTable;

// What one run did, for the log and for the repairs at its end.
struct SyncRun {
    SyncRun(AGP& p, std::vector<SyncChange>& changes, AGPStatus* s = nullptr) : project(p), log(changes), status(s) {}

    AGP& project;
    std::vector<SyncChange>& log;
    AGPStatus* status;
    // Per table (by name): old field name -> new one, and the fields removed.
    std::map<std::string, std::map<std::string, std::string>> renamedFields;
    std::map<std::string, std::set<std::string>> removedFields;
    std::map<std::string, std::string> renamedTables;
    std::set<std::string> removedTables;
};

// How a merge treats a changed primary key: ask the user, take the fresh one, leave it.
enum class KeyRule { Ask, Take, Leave };

// The words a merge logs, which differ between tables and custom views.
struct MergeWords {
    std::string_view added = "Added field";
    std::string_view typeChanged = "Changed type from ";
};

// Whether a project field differs from the schema's: native type (FldType when the project has
// none), unique index, auto-increment, size, attributes, database default, and for enumerations
// and sets the value list.
bool FieldDiffers(const AGPField& field, const AGPField& schema);
// Whether a loaded table differs: its sorted key (with `compareKey`), a differing or missing
// field, or another number of fields than the project's own (custom fields never count).
bool TableDiffers(const AGPTable& table, const AGPTable& fresh, bool compareKey);

// Brings the fields of `table` in step with `fresh`, keeping every user setting, and records
// each change on the entities and in the run's log.
void MergeFields(SyncRun& run, AGPTable& table, const AGPTable& fresh, KeyRule keys, const MergeWords& words);

// Adds a change to the log and, for fields, to the field's FldSync and FldSyncMessage.
void LogChange(SyncRun& run, std::string action, const AGPTable& table, AGPField* field, std::string message,
               std::string oldValue = {}, std::string newValue = {});

// Relations whose tables or fields are gone are removed; renamed tables and fields are followed.
void RepairRelations(SyncRun& run);
// Lookup settings and field-name settings that name renamed or removed tables and fields.
void RepairFieldReferences(SyncRun& run);
// Renames a field or a table with what names it in relations and the run's records.
void RenameField(SyncRun& run, AGPTable& table, const std::string& oldName, const std::string& newName);
void RenameTable(SyncRun& run, const std::string& oldName, const std::string& newName);

// Writes the change log into the report folder and sets the project's SyncLog (cleared when the
// run changed nothing); a file that cannot be written is reported in a message box.
void WriteSyncLog(AGP& project, const std::vector<SyncChange>& changes);

// A fresh read of a link table from its linked database, outside the project; nullptr with
// ProjErr when the database or the table cannot be read.
std::shared_ptr<AGPTable> ReadFreshLinkTable(AGP& project, const AGPTable& linkTable);

}  // namespace velmora
