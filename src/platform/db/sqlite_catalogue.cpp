// SQLite: the embedded default. The file is opened read-only, so reading a schema never creates
// or changes it; only a catalogue asked to be writable opens it read-write. Declared types become ADO codes by SQLite's affinity rules plus the common
// spellings, so that DATE, BOOLEAN or DECIMAL(10,2) keep their meaning.
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <map>
#include <string_view>
#include <system_error>
#include <tuple>

#include "platform/db/drivers.h"

namespace velmora::db {
namespace {

using Reason = CatalogueError::Reason;

// Affinities, reported as the native type.
enum Affinity : std::int16_t { kInteger = 1, kReal = 2, kText = 3, kBlob = 4, kNumeric = 5 };

struct DeclaredType {
    std::string_view word;  // the type's first word, upper case
    std::int16_t adoType;
    Affinity affinity;
};

// Spellings whose meaning goes beyond their affinity; looked up by the first word.
constexpr std::array kDeclaredTypes{
    DeclaredType{"BIGINT", 20, kInteger},       DeclaredType{"INT8", 20, kInteger},
    DeclaredType{"SMALLINT", 2, kInteger},      DeclaredType{"INT2", 2, kInteger},
    DeclaredType{"TINYINT", 16, kInteger},      DeclaredType{"BOOLEAN", 11, kNumeric},
    DeclaredType{"BOOL", 11, kNumeric},         DeclaredType{"BIT", 11, kNumeric},
    DeclaredType{"DATE", 133, kNumeric},        DeclaredType{"DATETIME", 135, kNumeric},
    DeclaredType{"TIMESTAMP", 135, kNumeric},   DeclaredType{"TIME", 134, kNumeric},
    DeclaredType{"DECIMAL", 131, kNumeric},     DeclaredType{"NUMERIC", 131, kNumeric},
    DeclaredType{"MONEY", 6, kNumeric},         DeclaredType{"CURRENCY", 6, kNumeric},
    DeclaredType{"REAL", 5, kReal},             DeclaredType{"DOUBLE", 5, kReal},
    DeclaredType{"FLOAT", 5, kReal},            DeclaredType{"UUID", 72, kText},
    DeclaredType{"GUID", 72, kText},            DeclaredType{"UNIQUEIDENTIFIER", 72, kText},
    DeclaredType{"CHAR", 129, kText},           DeclaredType{"NCHAR", 130, kText},
    DeclaredType{"CHARACTER", 129, kText},      DeclaredType{"VARCHAR", 200, kText},
    DeclaredType{"NVARCHAR", 202, kText},       DeclaredType{"VARYING", 200, kText},
    DeclaredType{"TEXT", 201, kText},           DeclaredType{"CLOB", 201, kText},
    DeclaredType{"NTEXT", 203, kText},          DeclaredType{"NCLOB", 203, kText},
    DeclaredType{"BLOB", 205, kBlob},
};

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// The numbers in the first parentheses of a declared type: VARCHAR(20) -> 20, DECIMAL(10,2) -> 10.
int FirstTypeArgument(std::string_view declared) {
    auto open = declared.find('(');
    if (open == std::string_view::npos) return 0;
    auto begin = declared.find_first_not_of(' ', open + 1);
    if (begin == std::string_view::npos) return 0;
    int value = 0;
    std::from_chars(declared.data() + begin, declared.data() + declared.size(), value);
    return value;
}

struct MappedType {
    std::int16_t adoType;
    Affinity affinity;
};

MappedType MapDeclaredType(std::string_view declared) {
    std::string upper = Upper(declared);
    std::string_view word(upper);
    word = word.substr(0, word.find_first_of(" (\t"));
    // "CHARACTER VARYING", "DOUBLE PRECISION" and friends take the second word's meaning.
    if (word == "NATIONAL") return {upper.find("VARYING") != std::string::npos ? std::int16_t{202} : std::int16_t{130}, kText};
    if (word == "CHARACTER" && upper.find("VARYING") != std::string::npos) return {200, kText};
    for (const auto& type : kDeclaredTypes) {
        if (type.word == word) return {type.adoType, type.affinity};
    }
    // SQLite's affinity rules, in their order.
    if (upper.find("INT") != std::string::npos) return {3, kInteger};
    if (upper.find("CHAR") != std::string::npos || upper.find("CLOB") != std::string::npos ||
        upper.find("TEXT") != std::string::npos) {
        return {201, kText};
    }
    if (upper.empty() || upper.find("BLOB") != std::string::npos) return {205, kBlob};
    if (upper.find("REAL") != std::string::npos || upper.find("FLOA") != std::string::npos ||
        upper.find("DOUB") != std::string::npos) {
        return {5, kReal};
    }
    return {131, kNumeric};
}

// A column named and typed by its declared type.
ColumnInfo DeclaredColumn(std::string name, std::string declared) {
    ColumnInfo column;
    column.name = std::move(name);
    column.typeName = std::move(declared);
    MappedType mapped = MapDeclaredType(column.typeName);
    column.adoType = mapped.adoType;
    column.nativeType = mapped.affinity;
    column.size = FirstTypeArgument(column.typeName);
    column.precision = column.adoType == 131 ? column.size : 0;
    return column;
}

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

std::string ColumnText(sqlite3_stmt* statement, int column) {
    const unsigned char* text = sqlite3_column_text(statement, column);
    return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

class SqliteCatalogue : public Catalogue {
public:
    SqliteCatalogue(Database db, ServerInfo info, bool writable)
        : db_(std::move(db)), info_(std::move(info)), writable_(writable) {}

    const ServerInfo& Info() const override { return info_; }

    std::vector<TableInfo> ListTables() override {
        std::vector<TableInfo> tables;
        auto statement = Prepare(
            "SELECT name, type FROM sqlite_master WHERE type IN ('table','view') "
            "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name");
        while (Step(statement.get())) {
            TableInfo table;
            table.name = ColumnText(statement.get(), 0);
            table.type = ColumnText(statement.get(), 1) == "view" ? "VIEW" : "TABLE";
            tables.push_back(std::move(table));
        }
        return tables;
    }

    void ReadColumns(std::span<TableInfo> tables) override {
        std::map<std::string, TableInfo*> wanted;
        for (TableInfo& table : tables) {
            table.columns.clear();
            table.error.clear();
            wanted[table.name] = &table;
        }
        ReadAllColumns(wanted);
        ReadUniqueIndexes(wanted);
        for (TableInfo& table : tables) {
            if (table.columns.empty()) table.error = "no such table: " + table.name;
        }
    }

    std::vector<ColumnInfo> DescribeQuery(const std::string& sql) override {
        auto statement = Prepare(sql.c_str());
        std::vector<ColumnInfo> columns;
        int count = sqlite3_column_count(statement.get());
        for (int i = 0; i < count; ++i) {
            const char* declared = sqlite3_column_decltype(statement.get(), i);
            ColumnInfo column = DeclaredColumn(sqlite3_column_name(statement.get(), i), declared ? declared : "");
            // An expression has no declared type; its values are shown as text.
            if (!declared) {
                column.adoType = 200;
                column.nativeType = kText;
            }
            columns.push_back(std::move(column));
        }
        return columns;
    }

    void Execute(const std::string& sql) override {
        RequireWritable(writable_);
        if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) Throw();
    }

private:
    Statement Prepare(const char* sql) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db_.get(), sql, -1, &raw, nullptr) != SQLITE_OK) Throw();
        return Statement(raw);
    }

    bool Step(sqlite3_stmt* statement) {
        int rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) Throw();
        return false;
    }

    [[noreturn]] void Throw() {
        int code = sqlite3_errcode(db_.get());
        Reason reason = code == SQLITE_NOTADB ? Reason::NotADatabase : Reason::Query;
        throw CatalogueError(reason, sqlite3_errmsg(db_.get()));
    }

    // Every column of every table and view in one pass over the table-valued pragma.
    void ReadAllColumns(const std::map<std::string, TableInfo*>& wanted) {
        auto statement = Prepare(
            "SELECT m.name, p.name, p.type, p.\"notnull\", p.dflt_value, p.pk, "
            "(SELECT count(*) FROM pragma_table_info(m.name) k WHERE k.pk > 0), p.hidden, m.type "
            "FROM sqlite_master m JOIN pragma_table_xinfo(m.name) p "
            "WHERE m.type IN ('table','view') AND p.hidden IN (0, 2, 3) ORDER BY m.name, p.cid");
        while (Step(statement.get())) {
            auto found = wanted.find(ColumnText(statement.get(), 0));
            if (found == wanted.end()) continue;
            ColumnInfo column = DeclaredColumn(ColumnText(statement.get(), 1), ColumnText(statement.get(), 2));
            column.nullable = sqlite3_column_int(statement.get(), 3) == 0;
            if (sqlite3_column_type(statement.get(), 4) != SQLITE_NULL) {
                column.defaultValue = ColumnText(statement.get(), 4);
            }
            column.primaryKey = sqlite3_column_int(statement.get(), 5) > 0;
            // A lone INTEGER PRIMARY KEY is the rowid: the database numbers new rows itself.
            bool soleKey = column.primaryKey && sqlite3_column_int(statement.get(), 6) == 1;
            column.autoIncrement = soleKey && Upper(column.typeName) == "INTEGER";
            if (column.autoIncrement) column.nullable = false;
            column.computed = sqlite3_column_int(statement.get(), 7) != 0;
            bool untypedViewColumn = column.typeName.empty() && ColumnText(statement.get(), 8) == "view";
            if (untypedViewColumn) TypeByValues(found->first, column);
            found->second->columns.push_back(std::move(column));
        }
    }

    // A view's expression column has no declared type: its first value's type stands in, text
    // when it holds no value yet.
    void TypeByValues(const std::string& view, ColumnInfo& column) {
        std::string sql = "SELECT typeof(" + Quoted(column.name) + ") FROM " + Quoted(view) + " WHERE " +
                          Quoted(column.name) + " IS NOT NULL LIMIT 1";
        sqlite3_stmt* raw = nullptr;
        std::string kind = "text";
        if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &raw, nullptr) == SQLITE_OK) {
            Statement statement(raw);
            if (sqlite3_step(statement.get()) == SQLITE_ROW) kind = ColumnText(statement.get(), 0);
        }
        static constexpr std::array<std::tuple<std::string_view, std::int16_t, Affinity>, 3> kByValue{{
            {"integer", 20, kInteger}, {"real", 5, kReal}, {"blob", 205, kBlob}}};
        column.adoType = 200;
        column.nativeType = kText;
        for (const auto& [name, adoType, affinity] : kByValue) {
            if (name != kind) continue;
            column.adoType = adoType;
            column.nativeType = affinity;
        }
    }

    static std::string Quoted(std::string_view name) {
        std::string out = "\"";
        for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
        return out + '"';
    }

public:
    std::vector<ForeignKeyInfo> ReadForeignKeys() override {
        auto statement = Prepare(
            "SELECT m.name, f.id, f.\"table\", f.\"from\", f.\"to\" FROM sqlite_master m "
            "JOIN pragma_foreign_key_list(m.name) f WHERE m.type = 'table' ORDER BY m.name, f.id, f.seq");
        std::vector<ForeignKeyInfo> keys;
        while (Step(statement.get())) {
            std::string table = ColumnText(statement.get(), 0);
            std::string id = ColumnText(statement.get(), 1);
            if (keys.empty() || keys.back().table != table || keys.back().name != id) {
                keys.push_back({"", table, id, "", ColumnText(statement.get(), 2), {}});
            }
            keys.back().columns.emplace_back(ColumnText(statement.get(), 3), ColumnText(statement.get(), 4));
        }
        for (ForeignKeyInfo& key : keys) FillPrimaryKeyColumns(key);
        return keys;
    }

private:
    // "REFERENCES t" without columns refers to t's primary key, in key order.
    void FillPrimaryKeyColumns(ForeignKeyInfo& key) {
        if (std::none_of(key.columns.begin(), key.columns.end(), [](const auto& pair) { return pair.second.empty(); }))
            return;
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db_.get(), "SELECT name FROM pragma_table_info(?) WHERE pk > 0 ORDER BY pk", -1, &raw,
                               nullptr) != SQLITE_OK)
            return;
        Statement statement(raw);
        sqlite3_bind_text(statement.get(), 1, key.refTable.c_str(), -1, SQLITE_TRANSIENT);
        for (auto& pair : key.columns) {
            if (sqlite3_step(statement.get()) != SQLITE_ROW) break;
            if (pair.second.empty()) pair.second = ColumnText(statement.get(), 0);
        }
    }

    // Unique indexes of exactly one column mark that column; the primary key's own index does
    // not count as a further unique index.
    void ReadUniqueIndexes(const std::map<std::string, TableInfo*>& wanted) {
        auto statement = Prepare(
            "SELECT m.name, min(ii.name) FROM sqlite_master m "
            "JOIN pragma_index_list(m.name) il JOIN pragma_index_info(il.name) ii "
            "WHERE m.type = 'table' AND il.\"unique\" = 1 AND il.origin <> 'pk' "
            "GROUP BY m.name, il.name HAVING count(*) = 1");
        while (Step(statement.get())) {
            auto found = wanted.find(ColumnText(statement.get(), 0));
            if (found == wanted.end()) continue;
            std::string columnName = ColumnText(statement.get(), 1);
            for (ColumnInfo& column : found->second->columns) {
                if (column.name == columnName) column.unique = true;
            }
        }
    }

    Database db_;
    ServerInfo info_;
    bool writable_;
};

}  // namespace

std::unique_ptr<Catalogue> OpenSqliteCatalogue(const ConnectOptions& options) {
    std::error_code ec;
    if (options.path.empty() || !std::filesystem::is_regular_file(options.path, ec)) {
        throw CatalogueError(Reason::Connect, "database file not found: " + options.path);
    }
    sqlite3* raw = nullptr;
    int flags = options.writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
    int rc = sqlite3_open_v2(options.path.c_str(), &raw, flags, nullptr);
    Database db(raw);
    if (rc != SQLITE_OK) {
        std::string message = db ? sqlite3_errmsg(db.get()) : sqlite3_errstr(rc);
        throw CatalogueError(Reason::Connect, message + ": " + options.path);
    }
    sqlite3_busy_timeout(db.get(), 2000);
    // Reading the schema is the first access that looks at the file's content.
    rc = sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        Reason reason = rc == SQLITE_NOTADB ? Reason::NotADatabase : Reason::Connect;
        throw CatalogueError(reason, std::string(sqlite3_errmsg(db.get())) + ": " + options.path);
    }
    ServerInfo info{"SQLite", sqlite3_libversion(), "libsqlite3", sqlite3_libversion()};
    return std::make_unique<SqliteCatalogue>(std::move(db), std::move(info), options.writable);
}

}  // namespace velmora::db
