// Sample databases for the schema tests: SQLite files made from the SQL scripts in a temporary
// folder, and lookups into a loaded project.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "test_support.h"

namespace velmora::test {

inline std::string SourcePath(const std::string& relative) { return std::string(VELMORA_SOURCE_DIR) + "/" + relative; }

// Runs an SQL script into a new SQLite file; the script's own errors fail the test.
inline void MakeSqliteDatabase(const std::string& file, const std::string& script) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, sqlite3_close);
    char* error = nullptr;
    int rc = sqlite3_exec(db.get(), ReadFile(script).c_str(), nullptr, nullptr, &error);
    std::string message = error ? error : "";
    sqlite3_free(error);
    ASSERT_EQ(rc, SQLITE_OK) << script << ": " << message;
}

inline std::shared_ptr<AGPTable> TableOf(AGP& project, const std::string& name) {
    return project.DB() ? project.DB()->Tables()->Find(Variant(name)) : nullptr;
}

inline std::shared_ptr<AGPField> FieldOf(AGP& project, const std::string& table, const std::string& field) {
    auto found = TableOf(project, table);
    return found ? found->Fields()->Find(Variant(field)) : nullptr;
}

}  // namespace velmora::test
