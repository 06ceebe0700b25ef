// ODBC through the unixODBC driver manager, by DSN or by a full driver string. Every call is the
// wide-character one, so names travel as UTF-16 whatever the driver's or the process's character
// set, and are handed on as UTF-8. Columns keep their ODBC SQL type as the native type and get
// the ADO code that type stands for.
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <bit>
#include <cstring>
#include <map>
#include <set>
#include <string_view>

#include "platform/db/drivers.h"
#include "support/charset.h"
#include "support/text.h"

namespace velmora::db {
namespace {

using Reason = CatalogueError::Reason;

constexpr SQLULEN kLoginTimeoutSeconds = 10;

struct OdbcType {
    SQLSMALLINT sqlType;
    std::int16_t adoType;
    std::int16_t unsignedAdoType;  // when the type name says "unsigned"
    bool hasPrecision;             // numbers and dates: COLUMN_SIZE is their precision
};

constexpr std::array kOdbcTypes{
    OdbcType{SQL_CHAR, 129, 129, false},           OdbcType{SQL_VARCHAR, 200, 200, false},
    OdbcType{SQL_LONGVARCHAR, 201, 201, false},    OdbcType{SQL_WCHAR, 130, 130, false},
    OdbcType{SQL_WVARCHAR, 202, 202, false},       OdbcType{SQL_WLONGVARCHAR, 203, 203, false},
    OdbcType{SQL_DECIMAL, 14, 14, true},           OdbcType{SQL_NUMERIC, 131, 131, true},
    OdbcType{SQL_SMALLINT, 2, 18, true},           OdbcType{SQL_INTEGER, 3, 19, true},
    OdbcType{SQL_TINYINT, 16, 17, true},           OdbcType{SQL_BIGINT, 20, 21, true},
    OdbcType{SQL_REAL, 4, 4, true},                OdbcType{SQL_FLOAT, 5, 5, true},
    OdbcType{SQL_DOUBLE, 5, 5, true},              OdbcType{SQL_BIT, 11, 11, false},
    OdbcType{SQL_TYPE_DATE, 133, 133, true},       OdbcType{SQL_TYPE_TIME, 134, 134, true},
    OdbcType{SQL_TYPE_TIMESTAMP, 135, 135, true},  OdbcType{SQL_DATE, 133, 133, true},
    OdbcType{SQL_TIME, 134, 134, true},            OdbcType{SQL_TIMESTAMP, 135, 135, true},
    OdbcType{SQL_GUID, 72, 72, false},             OdbcType{SQL_BINARY, 128, 128, false},
    OdbcType{SQL_VARBINARY, 204, 204, false},      OdbcType{SQL_LONGVARBINARY, 205, 205, false},
};

// Type names that mean the database numbers new rows itself (SQL Server's "int identity",
// PostgreSQL's serial types where a driver names them so).
constexpr std::array<std::string_view, 4> kAutoIncrementTypeWords{"identity", "auto_increment", "autoincrement",
                                                                  "serial"};

// Result columns some drivers add to SQLColumns to flag numbered columns: psqlODBC's
// AUTO_INCREMENT, and the ODBC 3.8 name others use.
constexpr std::array<std::string_view, 2> kAutoIncrementColumns{"AUTO_INCREMENT", "IS_AUTOINCREMENT"};

// MySQL's and MariaDB's drivers flag nothing, and report auto-increment columns as nullable;
// the server says which columns count, for the whole database in one query.
constexpr std::string_view kMySqlAutoIncrementQuery =
    "SELECT TABLE_NAME, COLUMN_NAME FROM information_schema.COLUMNS "
    "WHERE TABLE_SCHEMA = DATABASE() AND EXTRA LIKE '%auto_increment%'";

struct ErrorRule {
    std::string_view state;  // SQLSTATE, or empty
    std::string_view text;   // part of the message, or empty
    Reason reason;
};

// Drivers differ in how they report refused logins and missing databases: psqlODBC says 08001
// for all of them and leaves the rest to the server's message. The first rule that fits decides.
constexpr std::array kConnectErrorRules{
    ErrorRule{"28000", "", Reason::Login},
    ErrorRule{"3D000", "", Reason::NoDatabase},
    ErrorRule{"", "authentication failed", Reason::Login},
    ErrorRule{"", "role \"", Reason::Login},
    ErrorRule{"", "Access denied for user", Reason::Login},
    ErrorRule{"", "Unknown database", Reason::NoDatabase},
    ErrorRule{"", "does not exist", Reason::NoDatabase},
};

// NUL-terminated UTF-16, which is what unixODBC's SQLWCHAR holds, in the machine's byte order.
using WideText = std::vector<SQLWCHAR>;
static_assert(sizeof(SQLWCHAR) == 2 && std::endian::native == std::endian::little,
              "SQLWCHAR text is converted as UTF-16LE");
constexpr std::string_view kUtf16CodePage = "1200";

WideText Widen(std::string_view utf8) {
    std::string bytes = EncodeToCodePage(utf8, kUtf16CodePage);
    WideText text(bytes.size() / sizeof(SQLWCHAR) + 1, 0);
    std::memcpy(text.data(), bytes.data(), bytes.size() / sizeof(SQLWCHAR) * sizeof(SQLWCHAR));
    return text;
}

std::string Narrow(const SQLWCHAR* text, std::size_t length) {
    return DecodeFromCodePage(std::string_view(reinterpret_cast<const char*>(text), length * sizeof(SQLWCHAR)),
                              kUtf16CodePage);
}

template <SQLSMALLINT HandleType>
struct HandleFree {
    void operator()(SQLHANDLE handle) const { SQLFreeHandle(HandleType, handle); }
};
struct ConnectionClose {
    void operator()(SQLHANDLE dbc) const {
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    }
};
using Environment = std::unique_ptr<void, HandleFree<SQL_HANDLE_ENV>>;
using Connection = std::unique_ptr<void, ConnectionClose>;
using StatementHandle = std::unique_ptr<void, HandleFree<SQL_HANDLE_STMT>>;

struct Diagnostic {
    std::string state;
    std::string message;
};

std::vector<Diagnostic> Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    std::vector<Diagnostic> diagnostics;
    for (SQLSMALLINT record = 1;; ++record) {
        std::array<SQLWCHAR, 6> state{};
        std::array<SQLWCHAR, 1024> message{};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state.data(), &native, message.data(),
                                      static_cast<SQLSMALLINT>(message.size()), &length);
        if (!SQL_SUCCEEDED(rc)) break;
        std::size_t chars = std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)),
                                                  message.size() - 1);
        diagnostics.push_back({Narrow(state.data(), 5), Trim(Narrow(message.data(), chars))});
    }
    return diagnostics;
}

std::string Describe(const std::vector<Diagnostic>& diagnostics) {
    std::string text;
    for (const Diagnostic& diagnostic : diagnostics) {
        if (diagnostic.message.empty()) continue;
        if (!text.empty()) text += "; ";
        text += diagnostic.message;
    }
    return text.empty() ? "unknown ODBC error" : text;
}

Reason ConnectReason(const std::vector<Diagnostic>& diagnostics) {
    for (const ErrorRule& rule : kConnectErrorRules) {
        for (const Diagnostic& diagnostic : diagnostics) {
            bool stateFits = rule.state.empty() || diagnostic.state == rule.state;
            bool textFits = rule.text.empty() || ContainsNoCase(diagnostic.message, rule.text);
            if (stateFits && textFits) return rule.reason;
        }
    }
    return Reason::Connect;
}

[[noreturn]] void ThrowDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, Reason reason) {
    throw CatalogueError(reason, Describe(Diagnostics(handleType, handle)));
}

// An optional catalogue argument: a null pointer leaves it unrestricted.
struct Argument {
    explicit Argument(const std::optional<std::string>& value) {
        if (value) text = Widen(*value);
    }
    SQLWCHAR* data() { return text.empty() ? nullptr : text.data(); }
    SQLSMALLINT length() const { return text.empty() ? 0 : SQL_NTS; }
    WideText text;
};

std::optional<std::string> NonEmpty(const std::string& text) {
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

class Statement {
public:
    explicit Statement(SQLHANDLE dbc) {
        SQLHANDLE raw = SQL_NULL_HANDLE;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &raw))) {
            ThrowDiagnostics(SQL_HANDLE_DBC, dbc, Reason::Query);
        }
        handle_.reset(raw);
    }

    SQLHSTMT get() const { return handle_.get(); }

    void Check(SQLRETURN rc) const {
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) ThrowDiagnostics(SQL_HANDLE_STMT, get(), Reason::Query);
    }

    bool Fetch() const {
        SQLRETURN rc = SQLFetch(get());
        if (rc == SQL_NO_DATA) return false;
        Check(rc);
        return true;
    }

    // Drivers need not allow reading a row's columns out of order: callers go left to right.
    std::optional<std::string> Text(SQLUSMALLINT column) const {
        WideText text;
        std::array<SQLWCHAR, 512> buffer{};
        while (true) {
            SQLLEN indicator = 0;
            SQLRETURN rc = SQLGetData(get(), column, SQL_C_WCHAR, buffer.data(), sizeof(buffer), &indicator);
            if (rc == SQL_NO_DATA) break;
            Check(rc);
            if (indicator == SQL_NULL_DATA) return std::nullopt;
            std::size_t room = buffer.size() - 1;
            std::size_t chars = indicator == SQL_NO_TOTAL
                                    ? room
                                    : std::min(room, static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR));
            text.insert(text.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(chars));
            if (rc == SQL_SUCCESS) break;  // with info: truncated, the rest follows
        }
        return Narrow(text.data(), text.size());
    }

    std::optional<long> Number(SQLUSMALLINT column) const {
        SQLINTEGER value = 0;
        SQLLEN indicator = 0;
        Check(SQLGetData(get(), column, SQL_C_SLONG, &value, 0, &indicator));
        if (indicator == SQL_NULL_DATA) return std::nullopt;
        return value;
    }

    // The result's column names, lower case, in order.
    std::vector<std::string> ColumnNames() const {
        SQLSMALLINT count = 0;
        Check(SQLNumResultCols(get(), &count));
        std::vector<std::string> names;
        for (SQLSMALLINT column = 1; column <= count; ++column) {
            std::array<SQLWCHAR, 128> name{};
            SQLSMALLINT bytes = 0;
            Check(SQLColAttributeW(get(), static_cast<SQLUSMALLINT>(column), SQL_DESC_NAME, name.data(),
                                   sizeof(name), &bytes, nullptr));
            std::size_t chars = std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(bytes, 0)) / 2,
                                                      name.size() - 1);
            names.push_back(ToLowerAscii(Narrow(name.data(), chars)));
        }
        return names;
    }

    // The number of a result column by name, 0 when the driver returns none of the names.
    template <std::size_t N>
    SQLUSMALLINT ColumnNumber(const std::array<std::string_view, N>& names) const {
        std::vector<std::string> columns = ColumnNames();
        for (std::size_t i = 0; i < columns.size(); ++i) {
            for (std::string_view wanted : names)
                if (EqualsNoCase(columns[i], wanted)) return static_cast<SQLUSMALLINT>(i + 1);
        }
        return 0;
    }

private:
    StatementHandle handle_;
};

// SQLColumns' result columns, in the order a row must be read.
enum ColumnsField : SQLUSMALLINT {
    kSchema = 2,
    kTableName = 3,
    kColumnName = 4,
    kDataType = 5,
    kTypeName = 6,
    kColumnSize = 7,
    kNullable = 11,
    kColumnDef = 13,
};

const OdbcType* FindOdbcType(SQLSMALLINT sqlType) {
    auto it = std::find_if(kOdbcTypes.begin(), kOdbcTypes.end(),
                           [sqlType](const OdbcType& type) { return type.sqlType == sqlType; });
    return it == kOdbcTypes.end() ? nullptr : &*it;
}

bool TypeNameMeansAutoIncrement(std::string_view typeName) {
    return std::any_of(kAutoIncrementTypeWords.begin(), kAutoIncrementTypeWords.end(),
                       [&](std::string_view word) { return ContainsNoCase(typeName, word); });
}

bool IsTrueFlag(const std::optional<std::string>& value) {
    return value && (*value == "1" || EqualsNoCase(*value, "YES") || EqualsNoCase(*value, "TRUE"));
}

using TableKey = std::pair<std::string, std::string>;  // schema, name

class OdbcCatalogue : public Catalogue {
public:
    OdbcCatalogue(Environment env, Connection dbc, ServerInfo info, std::optional<std::string> catalog,
                  bool writable)
        : env_(std::move(env)), dbc_(std::move(dbc)), info_(std::move(info)), catalog_(std::move(catalog)),
          writable_(writable) {}

    const ServerInfo& Info() const override { return info_; }

    std::vector<TableInfo> ListTables() override {
        Statement statement(dbc_.get());
        Argument catalog(catalog_);
        WideText pattern = Widen("%");
        WideText types = Widen("TABLE,VIEW");
        statement.Check(SQLTablesW(statement.get(), catalog.data(), catalog.length(), nullptr, 0, pattern.data(),
                                   SQL_NTS, types.data(), SQL_NTS));
        std::vector<TableInfo> tables;
        while (statement.Fetch()) {
            std::optional<std::string> schema = statement.Text(kSchema);
            std::optional<std::string> name = statement.Text(kTableName);
            std::optional<std::string> type = statement.Text(4);
            // Some drivers add system tables, synonyms or aliases whatever the filter says.
            std::string upper = ToUpperAscii(type.value_or(""));
            if (!name || (upper != "TABLE" && upper != "VIEW")) continue;
            TableInfo table;
            table.schema = schema.value_or("");
            table.name = *name;
            table.type = upper;
            tables.push_back(std::move(table));
        }
        return tables;
    }

    // One SQLColumns call per schema covers every table asked for. Keys and indexes have no
    // batched form in ODBC: SQLPrimaryKeys and SQLStatistics take one table each.
    void ReadColumns(std::span<TableInfo> tables) override {
        std::map<TableKey, TableInfo*> wanted;
        std::set<std::string> schemas;
        for (TableInfo& table : tables) {
            table.columns.clear();
            table.error.clear();
            wanted[{table.schema, table.name}] = &table;
            schemas.insert(table.schema);
        }
        for (const std::string& schema : schemas) ReadSchemaColumns(schema, wanted);
        MarkMySqlAutoIncrement(tables);
        for (TableInfo& table : tables) {
            if (table.columns.empty()) {
                table.error = "no such table: " + table.name;
                continue;
            }
            std::vector<std::string> key = ReadPrimaryKey(table);
            ReadUniqueIndexes(table, key);
        }
    }

private:
    void ReadSchemaColumns(const std::string& schema, std::map<TableKey, TableInfo*>& wanted) {
        Statement statement(dbc_.get());
        Argument catalog(catalog_);
        Argument schemaArgument(NonEmpty(schema));
        WideText pattern = Widen("%");
        statement.Check(SQLColumnsW(statement.get(), catalog.data(), catalog.length(), schemaArgument.data(),
                                    schemaArgument.length(), pattern.data(), SQL_NTS, pattern.data(), SQL_NTS));
        SQLUSMALLINT autoColumn = statement.ColumnNumber(kAutoIncrementColumns);
        while (statement.Fetch()) {
            TableKey key{statement.Text(kSchema).value_or(""), statement.Text(kTableName).value_or("")};
            auto found = wanted.find(key);
            if (found == wanted.end()) continue;
            ColumnInfo column;
            column.name = statement.Text(kColumnName).value_or("");
            auto sqlType = static_cast<SQLSMALLINT>(statement.Number(kDataType).value_or(0));
            column.typeName = statement.Text(kTypeName).value_or("");
            // Negative sizes are some drivers' "unknown" (psqlODBC for bytea).
            column.size = static_cast<std::int32_t>(std::max(statement.Number(kColumnSize).value_or(0), 0L));
            column.nullable = statement.Number(kNullable).value_or(SQL_NULLABLE_UNKNOWN) != SQL_NO_NULLS;
            std::optional<std::string> def = statement.Text(kColumnDef);
            // The word NULL states a default of NULL: no default at all.
            if (def && !EqualsNoCase(*def, "NULL")) column.defaultValue = def;
            bool flagged = autoColumn > kColumnDef && IsTrueFlag(statement.Text(autoColumn));

            column.nativeType = sqlType;
            if (const OdbcType* type = FindOdbcType(sqlType)) {
                bool isUnsigned = ContainsNoCase(column.typeName, "unsigned");
                column.adoType = isUnsigned ? type->unsignedAdoType : type->adoType;
                if (type->hasPrecision) column.precision = column.size;
            }
            column.autoIncrement = flagged || TypeNameMeansAutoIncrement(column.typeName) ||
                                   (column.defaultValue && StartsWithNoCase(*column.defaultValue, "nextval("));
            if (column.autoIncrement) column.nullable = false;
            found->second->columns.push_back(std::move(column));
        }
    }

    void MarkMySqlAutoIncrement(std::span<TableInfo> tables) {
        if (!ContainsNoCase(info_.dbmsName, "MySQL") && !ContainsNoCase(info_.dbmsName, "MariaDB")) return;
        std::set<std::pair<std::string, std::string>> numbered;  // table, column
        try {
            Statement statement(dbc_.get());
            WideText sql = Widen(kMySqlAutoIncrementQuery);
            statement.Check(SQLExecDirectW(statement.get(), sql.data(), SQL_NTS));
            while (statement.Fetch()) {
                std::string table = statement.Text(1).value_or("");
                numbered.insert({table, statement.Text(2).value_or("")});
            }
        } catch (const CatalogueError&) {
            return;  // without the server's word, no column counts as numbered
        }
        for (TableInfo& table : tables) {
            for (ColumnInfo& column : table.columns) {
                if (!numbered.contains({table.name, column.name})) continue;
                column.autoIncrement = true;
                column.nullable = false;
            }
        }
    }

    std::vector<ColumnInfo> DescribeQuery(const std::string& sql) override {
        Statement statement(dbc_.get());
        WideText text = Widen(sql);
        statement.Check(SQLPrepareW(statement.get(), text.data(), SQL_NTS));
        SQLSMALLINT count = 0;
        statement.Check(SQLNumResultCols(statement.get(), &count));
        std::vector<ColumnInfo> columns;
        for (SQLSMALLINT i = 1; i <= count; ++i) {
            std::array<SQLWCHAR, 256> name{};
            SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            statement.Check(SQLDescribeColW(statement.get(), static_cast<SQLUSMALLINT>(i), name.data(),
                                            static_cast<SQLSMALLINT>(name.size()), &nameLength, &sqlType, &size,
                                            &digits, &nullable));
            ColumnInfo column;
            column.name = Narrow(name.data(), std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(nameLength, 0)),
                                                                    name.size() - 1));
            column.nativeType = sqlType;
            column.size = static_cast<std::int32_t>(std::min<SQLULEN>(size, INT32_MAX));
            column.nullable = nullable != SQL_NO_NULLS;
            if (const OdbcType* type = FindOdbcType(sqlType)) {
                column.adoType = type->adoType;
                if (type->hasPrecision) column.precision = column.size;
            }
            columns.push_back(std::move(column));
        }
        return columns;
    }

    std::vector<QueryRow> Query(const std::string& sql) override {
        Statement statement(dbc_.get());
        WideText text = Widen(sql);
        statement.Check(SQLExecDirectW(statement.get(), text.data(), SQL_NTS));
        std::vector<std::string> names = statement.ColumnNames();
        std::vector<QueryRow> rows;
        while (statement.Fetch()) {
            QueryRow row;
            for (std::size_t i = 0; i < names.size(); ++i) {
                row[names[i]] = statement.Text(static_cast<SQLUSMALLINT>(i + 1));
            }
            rows.push_back(std::move(row));
        }
        return rows;
    }

    // The connection is in ODBC's default autocommit mode: the statement commits on its own.
    void Execute(const std::string& sql) override {
        RequireWritable(writable_);
        Statement statement(dbc_.get());
        WideText text = Widen(sql);
        statement.Check(SQLExecDirectW(statement.get(), text.data(), SQL_NTS));
    }

    // SQLForeignKeys takes one table at a time; a driver without it gives no keys.
    std::vector<ForeignKeyInfo> ReadForeignKeys() override {
        std::vector<ForeignKeyInfo> keys;
        for (const TableInfo& table : ListTables()) {
            if (table.type != "TABLE") continue;
            try {
                Statement statement(dbc_.get());
                Argument catalog(catalog_);
                Argument schema(NonEmpty(table.schema));
                WideText name = Widen(table.name);
                statement.Check(SQLForeignKeysW(statement.get(), nullptr, 0, nullptr, 0, nullptr, 0, catalog.data(),
                                                catalog.length(), schema.data(), schema.length(), name.data(), SQL_NTS));
                while (statement.Fetch()) {
                    // Drivers hand out columns in increasing order only.
                    std::string refSchema = statement.Text(2).value_or("");
                    std::string refTable = statement.Text(3).value_or("");
                    std::string refColumn = statement.Text(4).value_or("");
                    std::string column = statement.Text(8).value_or("");
                    bool first = statement.Number(9).value_or(1) == 1;
                    std::string keyName = statement.Text(12).value_or("");
                    if (first || keys.empty() || keys.back().table != table.name || keys.back().name != keyName)
                        keys.push_back({table.schema, table.name, keyName, refSchema, refTable, {}});
                    keys.back().columns.emplace_back(column, refColumn);
                }
            } catch (const CatalogueError&) {
                continue;
            }
        }
        return keys;
    }

    std::vector<std::string> ReadPrimaryKey(TableInfo& table) {
        Statement statement(dbc_.get());
        Argument catalog(catalog_);
        Argument schema(NonEmpty(table.schema));
        WideText name = Widen(table.name);
        statement.Check(SQLPrimaryKeysW(statement.get(), catalog.data(), catalog.length(), schema.data(),
                                        schema.length(), name.data(), SQL_NTS));
        std::vector<std::string> key;
        while (statement.Fetch()) key.push_back(statement.Text(kColumnName).value_or(""));
        for (ColumnInfo& column : table.columns) {
            if (std::find(key.begin(), key.end(), column.name) == key.end()) continue;
            column.primaryKey = true;
            column.nullable = false;
        }
        return key;
    }

    // Unique indexes of exactly one column mark that column; the primary key's own index does
    // not count as a further unique index.
    void ReadUniqueIndexes(TableInfo& table, const std::vector<std::string>& primaryKey) {
        Statement statement(dbc_.get());
        Argument catalog(catalog_);
        Argument schema(NonEmpty(table.schema));
        WideText name = Widen(table.name);
        statement.Check(SQLStatisticsW(statement.get(), catalog.data(), catalog.length(), schema.data(),
                                       schema.length(), name.data(), SQL_NTS, SQL_INDEX_UNIQUE, SQL_QUICK));
        std::map<std::string, std::vector<std::string>> indexes;
        while (statement.Fetch()) {
            std::optional<long> nonUnique = statement.Number(4);
            std::optional<std::string> index = statement.Text(6);
            std::optional<long> type = statement.Number(7);
            std::optional<std::string> column = statement.Text(9);
            if (type == SQL_TABLE_STAT || nonUnique != SQL_FALSE || !index || !column) continue;
            indexes[*index].push_back(*column);
        }
        for (const auto& [index, columns] : indexes) {
            if (columns.size() != 1 || columns == primaryKey) continue;
            for (ColumnInfo& column : table.columns)
                if (column.name == columns.front()) column.unique = true;
        }
    }

    Environment env_;
    Connection dbc_;
    ServerInfo info_;
    // The database a driver with catalogues is connected to; some drivers list every database's
    // tables when the catalogue is left open.
    std::optional<std::string> catalog_;
    bool writable_;
};

std::string InfoText(SQLHANDLE dbc, SQLUSMALLINT item) {
    std::array<SQLWCHAR, 256> buffer{};
    SQLSMALLINT bytes = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc, item, buffer.data(), sizeof(buffer), &bytes))) return std::string();
    std::size_t chars = std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(bytes, 0)) / 2,
                                              buffer.size() - 1);
    return Narrow(buffer.data(), chars);
}

// The database the connection reads, for drivers that name tables by catalogue.
std::optional<std::string> CurrentCatalog(SQLHANDLE dbc) {
    if (InfoText(dbc, SQL_CATALOG_NAME) != "Y") return std::nullopt;
    std::array<SQLWCHAR, 256> buffer{};
    SQLINTEGER bytes = 0;
    if (!SQL_SUCCEEDED(SQLGetConnectAttrW(dbc, SQL_ATTR_CURRENT_CATALOG, buffer.data(), sizeof(buffer), &bytes))) {
        return std::nullopt;
    }
    std::size_t chars = std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLINTEGER>(bytes, 0)) / 2,
                                              buffer.size() - 1);
    return NonEmpty(Narrow(buffer.data(), chars));
}

}  // namespace

std::unique_ptr<Catalogue> OpenOdbcCatalogue(const ConnectOptions& options) {
    if (options.connectionString.empty()) throw CatalogueError(Reason::Connect, "no ODBC connection string given");
    SQLHANDLE raw = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &raw))) {
        throw CatalogueError(Reason::Connect, "the ODBC driver manager cannot be started");
    }
    Environment env(raw);
    SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env.get(), &raw))) {
        ThrowDiagnostics(SQL_HANDLE_ENV, env.get(), Reason::Connect);
    }
    Connection dbc(raw);
    SQLSetConnectAttr(dbc.get(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0);

    WideText connectionString = Widen(options.connectionString);
    SQLRETURN rc = SQLDriverConnectW(dbc.get(), nullptr, connectionString.data(), SQL_NTS, nullptr, 0, nullptr,
                                     SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        std::vector<Diagnostic> diagnostics = Diagnostics(SQL_HANDLE_DBC, dbc.get());
        throw CatalogueError(ConnectReason(diagnostics), Describe(diagnostics));
    }
    ServerInfo info{InfoText(dbc.get(), SQL_DBMS_NAME), InfoText(dbc.get(), SQL_DBMS_VER),
                    InfoText(dbc.get(), SQL_DRIVER_NAME), InfoText(dbc.get(), SQL_DRIVER_VER)};
    std::optional<std::string> catalog = CurrentCatalog(dbc.get());
    return std::make_unique<OdbcCatalogue>(std::move(env), std::move(dbc), std::move(info), std::move(catalog),
                                           options.writable);
}

}  // namespace velmora::db
