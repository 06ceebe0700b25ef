// MySQL and MariaDB through libmariadb. The catalogue comes from information_schema of the
// connected database, which is the schema: tables carry no schema name. Names sent to the
// server are escaped for the connection's character set.
#include <mysql.h>
#include <mysqld_error.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <string_view>

#include "platform/db/drivers.h"
#include "support/text.h"

namespace velmora::db {
namespace {

using Reason = CatalogueError::Reason;

struct ConnectionCloser {
    void operator()(MYSQL* mysql) const { mysql_close(mysql); }
};
struct ResultFreer {
    void operator()(MYSQL_RES* result) const { mysql_free_result(result); }
};
using Connection = std::unique_ptr<MYSQL, ConnectionCloser>;
using Result = std::unique_ptr<MYSQL_RES, ResultFreer>;

struct TypeRow {
    std::string_view dataType;  // information_schema.COLUMNS.DATA_TYPE
    std::int16_t nativeType;    // the field type the client library reports for it
    std::int16_t adoType;
    std::int16_t unsignedAdoType;
};

constexpr std::array kTypes{
    TypeRow{"tinyint", MYSQL_TYPE_TINY, 16, 17},
    TypeRow{"smallint", MYSQL_TYPE_SHORT, 2, 18},
    TypeRow{"mediumint", MYSQL_TYPE_INT24, 3, 19},
    TypeRow{"int", MYSQL_TYPE_LONG, 3, 19},
    TypeRow{"bigint", MYSQL_TYPE_LONGLONG, 20, 21},
    TypeRow{"float", MYSQL_TYPE_FLOAT, 4, 4},
    TypeRow{"double", MYSQL_TYPE_DOUBLE, 5, 5},
    TypeRow{"decimal", MYSQL_TYPE_NEWDECIMAL, 131, 131},
    TypeRow{"date", MYSQL_TYPE_DATE, 133, 133},
    TypeRow{"datetime", MYSQL_TYPE_DATETIME, 135, 135},
    TypeRow{"timestamp", MYSQL_TYPE_TIMESTAMP, 135, 135},
    TypeRow{"time", MYSQL_TYPE_TIME, 134, 134},
    TypeRow{"year", MYSQL_TYPE_YEAR, 2, 2},
    TypeRow{"char", MYSQL_TYPE_STRING, 129, 129},
    TypeRow{"varchar", MYSQL_TYPE_VAR_STRING, 200, 200},
    TypeRow{"tinytext", MYSQL_TYPE_BLOB, 201, 201},
    TypeRow{"text", MYSQL_TYPE_BLOB, 201, 201},
    TypeRow{"mediumtext", MYSQL_TYPE_BLOB, 201, 201},
    TypeRow{"longtext", MYSQL_TYPE_BLOB, 201, 201},
    TypeRow{"json", MYSQL_TYPE_JSON, 201, 201},
    TypeRow{"binary", MYSQL_TYPE_STRING, 128, 128},
    TypeRow{"varbinary", MYSQL_TYPE_VAR_STRING, 204, 204},
    TypeRow{"tinyblob", MYSQL_TYPE_BLOB, 205, 205},
    TypeRow{"blob", MYSQL_TYPE_BLOB, 205, 205},
    TypeRow{"mediumblob", MYSQL_TYPE_BLOB, 205, 205},
    TypeRow{"longblob", MYSQL_TYPE_BLOB, 205, 205},
    TypeRow{"bit", MYSQL_TYPE_BIT, 204, 204},  // BIT(1) is a Boolean, see MapType
    TypeRow{"enum", MYSQL_TYPE_ENUM, 202, 202},
    TypeRow{"set", MYSQL_TYPE_SET, 202, 202},
    TypeRow{"uuid", MYSQL_TYPE_STRING, 72, 72},
    TypeRow{"geometry", MYSQL_TYPE_GEOMETRY, -1, -1},
    TypeRow{"point", MYSQL_TYPE_GEOMETRY, -1, -1},
    TypeRow{"linestring", MYSQL_TYPE_GEOMETRY, -1, -1},
    TypeRow{"polygon", MYSQL_TYPE_GEOMETRY, -1, -1},
    TypeRow{"multipoint", MYSQL_TYPE_GEOMETRY, -1, -1},
    TypeRow{"multilinestring", MYSQL_TYPE_GEOMETRY, -1, -1},
    TypeRow{"multipolygon", MYSQL_TYPE_GEOMETRY, -1, -1},
    TypeRow{"geometrycollection", MYSQL_TYPE_GEOMETRY, -1, -1},
};

const TypeRow* FindType(std::string_view dataType) {
    auto it = std::find_if(kTypes.begin(), kTypes.end(), [&](const TypeRow& row) { return row.dataType == dataType; });
    return it == kTypes.end() ? nullptr : &*it;
}

struct ErrorReason {
    unsigned int code;
    Reason reason;
};

// An unknown user is refused with 1698 rather than 1045 where root logs in by socket.
constexpr std::array kErrorReasons{
    ErrorReason{ER_ACCESS_DENIED_ERROR, Reason::Login},
    ErrorReason{ER_ACCESS_DENIED_NO_PASSWORD_ERROR, Reason::Login},
    ErrorReason{ER_DBACCESS_DENIED_ERROR, Reason::Login},
    ErrorReason{ER_BAD_DB_ERROR, Reason::NoDatabase},
};

[[noreturn]] void Throw(MYSQL* mysql, Reason otherwise) {
    unsigned int code = mysql_errno(mysql);
    auto it = std::find_if(kErrorReasons.begin(), kErrorReasons.end(),
                           [code](const ErrorReason& entry) { return entry.code == code; });
    throw CatalogueError(it == kErrorReasons.end() ? otherwise : it->reason, mysql_error(mysql));
}

constexpr unsigned int kConnectTimeoutSeconds = 10;

Connection Connect(const ConnectOptions& options, const std::string& database) {
    // mysql_init initialises the library on first use, which is not safe from two threads at once.
    static std::once_flag libraryReady;
    std::call_once(libraryReady, [] { mysql_library_init(0, nullptr, nullptr); });

    Connection mysql(mysql_init(nullptr));
    if (!mysql) throw CatalogueError(Reason::Connect, "out of memory connecting to MySQL");
    unsigned int timeout = kConnectTimeoutSeconds;
    mysql_options(mysql.get(), MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    std::string charset = options.encoding.empty() ? std::string("utf8mb4") : options.encoding;
    mysql_options(mysql.get(), MYSQL_SET_CHARSET_NAME, charset.c_str());
    auto orNull = [](const std::string& text) { return text.empty() ? nullptr : text.c_str(); };
    if (!mysql_real_connect(mysql.get(), orNull(options.host), orNull(options.user), options.password.c_str(),
                            orNull(database), static_cast<unsigned int>(std::max(options.port, 0)), nullptr, 0)) {
        Throw(mysql.get(), Reason::Connect);
    }
    return mysql;
}

class Row {
public:
    Row(MYSQL_ROW row, const unsigned long* lengths) : row_(row), lengths_(lengths) {}
    bool Null(int column) const { return row_[column] == nullptr; }
    std::string Text(int column) const { return row_[column] ? std::string(row_[column], lengths_[column]) : ""; }
    std::int64_t Number(int column) const {
        std::int64_t value = 0;
        if (row_[column]) std::from_chars(row_[column], row_[column] + lengths_[column], value);
        return value;
    }

private:
    MYSQL_ROW row_;
    const unsigned long* lengths_;
};

// Runs a query and calls `each` with every row.
template <typename Each>
void ForEachRow(MYSQL* mysql, const std::string& sql, Each each) {
    if (mysql_real_query(mysql, sql.data(), sql.size()) != 0) Throw(mysql, Reason::Query);
    Result result(mysql_store_result(mysql));
    if (!result) Throw(mysql, Reason::Query);
    while (MYSQL_ROW row = mysql_fetch_row(result.get())) each(Row(row, mysql_fetch_lengths(result.get())));
}

struct Escape {
    char code;
    char meaning;
};

// Backslash escapes the server uses in quoted literals; any other escaped character stands
// for itself.
constexpr std::array kEscapes{
    Escape{'0', '\0'}, Escape{'b', '\b'}, Escape{'n', '\n'}, Escape{'r', '\r'}, Escape{'t', '\t'}, Escape{'Z', '\x1a'},
};

// Reads one quoted literal starting at text[pos] (the opening quote); pos ends after the
// closing quote. Quotes inside are doubled or backslash-escaped.
std::string ReadQuoted(std::string_view text, std::size_t& pos) {
    std::string value;
    char quote = text[pos++];
    while (pos < text.size()) {
        char c = text[pos++];
        if (c == '\\' && pos < text.size()) {
            char code = text[pos++];
            auto it = std::find_if(kEscapes.begin(), kEscapes.end(), [code](const Escape& e) { return e.code == code; });
            value += it == kEscapes.end() ? code : it->meaning;
        } else if (c == quote && pos < text.size() && text[pos] == quote) {
            value += quote;
            ++pos;
        } else if (c == quote) {
            break;
        } else {
            value += c;
        }
    }
    return value;
}

// enum('a','b''c') or set(...) as edit-control tag values: "a","a" lines joined with CR LF.
std::string TagValues(std::string_view columnType) {
    std::string tags;
    std::size_t pos = columnType.find('(');
    if (pos == std::string_view::npos) return tags;
    while (true) {
        pos = columnType.find_first_of("')", pos);
        if (pos == std::string_view::npos || columnType[pos] == ')') break;
        std::string value = ReadQuoted(columnType, pos);
        if (!tags.empty()) tags += "\r\n";
        tags += '"' + value + "\",\"" + value + '"';
    }
    return tags;
}

// MariaDB (10.2.7 on) states defaults as SQL: text literals quoted, expressions bare, and a
// nullable column without a default as the word NULL. MySQL states them as plain values.
std::optional<std::string> DefaultValue(const Row& row, int column, bool sqlDefaults) {
    if (row.Null(column)) return std::nullopt;
    std::string text = row.Text(column);
    if (!sqlDefaults) return text;
    if (text == "NULL") return std::nullopt;
    if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') {
        std::size_t pos = 0;
        return ReadQuoted(text, pos);
    }
    return text;
}

std::int32_t ClampedSize(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, 0, std::numeric_limits<std::int32_t>::max()));
}

enum ColumnField { kTable, kName, kDataType, kColumnType, kNullable, kDefault, kCharLength, kPrecision, kKey, kExtra };

// A result column of a prepared statement: the field type says less than the catalogue, so
// binary and text kinds of the same field type are told apart by the binary character set.
ColumnInfo DescribedColumn(const MYSQL_FIELD& field) {
    constexpr unsigned int kBinaryCharset = 63;
    bool binary = field.charsetnr == kBinaryCharset;
    std::string_view dataType;
    switch (field.type) {
        case MYSQL_TYPE_BLOB: dataType = binary ? "blob" : "text"; break;
        case MYSQL_TYPE_STRING: dataType = binary ? "binary" : "char"; break;
        case MYSQL_TYPE_VAR_STRING:
        case MYSQL_TYPE_VARCHAR: dataType = binary ? "varbinary" : "varchar"; break;
        default: {
            auto it = std::find_if(kTypes.begin(), kTypes.end(),
                                   [&](const TypeRow& row) { return row.nativeType == field.type; });
            dataType = it == kTypes.end() ? std::string_view() : it->dataType;
        }
    }
    ColumnInfo column;
    column.name = field.name ? field.name : "";
    column.typeName = std::string(dataType);
    column.nativeType = static_cast<std::int16_t>(field.type);
    column.isEnum = field.flags & ENUM_FLAG;
    column.isSet = field.flags & SET_FLAG;
    if (column.isEnum) column.nativeType = MYSQL_TYPE_ENUM;
    if (column.isSet) column.nativeType = MYSQL_TYPE_SET;
    if (const TypeRow* type = FindType(dataType)) {
        column.adoType = (field.flags & UNSIGNED_FLAG) ? type->unsignedAdoType : type->adoType;
    }
    // Lengths are in bytes; text columns count characters of the column's character set.
    unsigned long length = field.length;
    if (!binary && length > 0) {
        if (const MARIADB_CHARSET_INFO* charset = mariadb_get_charset_by_nr(field.charsetnr)) {
            if (charset->char_maxlen > 1) length /= charset->char_maxlen;
        }
    }
    column.size = static_cast<std::int32_t>(std::min<unsigned long>(length, std::numeric_limits<std::int32_t>::max()));
    column.nullable = !(field.flags & NOT_NULL_FLAG);
    column.primaryKey = field.flags & PRI_KEY_FLAG;
    column.autoIncrement = field.flags & AUTO_INCREMENT_FLAG;
    return column;
}

ColumnInfo MakeColumn(const Row& row, bool sqlDefaults) {
    ColumnInfo column;
    column.name = row.Text(kName);
    column.typeName = row.Text(kDataType);
    std::string columnType = row.Text(kColumnType);
    bool isUnsigned = columnType.find("unsigned") != std::string::npos;
    if (const TypeRow* type = FindType(column.typeName)) {
        column.nativeType = type->nativeType;
        column.adoType = isUnsigned ? type->unsignedAdoType : type->adoType;
    }
    bool isNumber = !row.Null(kPrecision);
    column.size = ClampedSize(isNumber ? row.Number(kPrecision) : row.Number(kCharLength));
    if (isNumber) column.precision = column.size;
    // BOOLEAN is TINYINT(1) in the catalogue; both it and BIT(1) are yes/no values.
    bool isBoolean = (column.typeName == "bit" && column.size == 1) || columnType.starts_with("tinyint(1)");
    if (isBoolean) column.adoType = 11;
    column.isEnum = column.typeName == "enum";
    column.isSet = column.typeName == "set";
    if (column.isEnum || column.isSet) column.tagValues = TagValues(columnType);
    column.nullable = row.Text(kNullable) == "YES";
    column.defaultValue = DefaultValue(row, kDefault, sqlDefaults);
    column.primaryKey = row.Text(kKey) == "PRI";
    std::string extra = ToLowerAscii(row.Text(kExtra));
    column.autoIncrement = extra.find("auto_increment") != std::string::npos;
    column.updatedByDatabase = extra.find("on update") != std::string::npos;
    column.computed = extra.find("generated") != std::string::npos && extra.find("default_generated") == std::string::npos;
    return column;
}

class MySqlCatalogue : public Catalogue {
public:
    MySqlCatalogue(Connection mysql, ServerInfo info, bool writable)
        : mysql_(std::move(mysql)), info_(std::move(info)),
          sqlDefaults_(info_.dbmsVersion.find("MariaDB") != std::string::npos), writable_(writable) {}

    const ServerInfo& Info() const override { return info_; }

    std::vector<ColumnInfo> DescribeQuery(const std::string& sql) override {
        std::unique_ptr<MYSQL_STMT, decltype(&mysql_stmt_close)> statement(mysql_stmt_init(mysql_.get()),
                                                                           mysql_stmt_close);
        if (!statement) Throw(mysql_.get(), Reason::Query);
        if (mysql_stmt_prepare(statement.get(), sql.data(), sql.size()) != 0) {
            throw CatalogueError(Reason::Query, mysql_stmt_error(statement.get()));
        }
        Result metadata(mysql_stmt_result_metadata(statement.get()));
        if (!metadata) throw CatalogueError(Reason::Query, "the statement returns no rows");
        std::vector<ColumnInfo> columns;
        unsigned int count = mysql_num_fields(metadata.get());
        MYSQL_FIELD* fields = mysql_fetch_fields(metadata.get());
        for (unsigned int i = 0; i < count; ++i) columns.push_back(DescribedColumn(fields[i]));
        return columns;
    }

    // The connection runs with autocommit on, and DDL commits implicitly anyway.
    void Execute(const std::string& sql) override {
        RequireWritable(writable_);
        if (mysql_real_query(mysql_.get(), sql.data(), sql.size()) != 0) Throw(mysql_.get(), Reason::Query);
        Result unexpectedRows(mysql_store_result(mysql_.get()));
    }

    std::vector<TableInfo> ListTables() override {
        std::vector<TableInfo> tables;
        ForEachRow(mysql_.get(),
              "SELECT TABLE_NAME, TABLE_TYPE FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() "
              "AND TABLE_TYPE IN ('BASE TABLE', 'SYSTEM VERSIONED', 'VIEW')",
              [&](const Row& row) {
                  TableInfo table;
                  table.name = row.Text(0);
                  table.type = row.Text(1) == "VIEW" ? "VIEW" : "TABLE";
                  tables.push_back(std::move(table));
              });
        // information_schema sorts without regard to case; names sort by their bytes here, as
        // on the other routes.
        std::sort(tables.begin(), tables.end(), [](const TableInfo& a, const TableInfo& b) { return a.name < b.name; });
        return tables;
    }

    void ReadColumns(std::span<TableInfo> tables) override {
        if (tables.empty()) return;
        std::map<std::string, std::vector<TableInfo*>> wanted;
        for (TableInfo& table : tables) {
            table.columns.clear();
            table.error.clear();
            wanted[table.name].push_back(&table);
        }
        std::string names = NameList(wanted);
        std::set<std::string> existing;
        ForEachRow(mysql_.get(),
              "SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME IN (" +
                  names + ")",
              [&](const Row& row) { existing.insert(row.Text(0)); });
        ForEachRow(mysql_.get(),
              "SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, COLUMN_TYPE, IS_NULLABLE, COLUMN_DEFAULT, "
              "CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, COLUMN_KEY, EXTRA FROM information_schema.COLUMNS "
              "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME IN (" +
                  names + ") ORDER BY TABLE_NAME, ORDINAL_POSITION",
              [&](const Row& row) {
                  auto found = wanted.find(row.Text(kTable));
                  if (found == wanted.end()) return;
                  ColumnInfo column = MakeColumn(row, sqlDefaults_);
                  for (TableInfo* table : found->second) table->columns.push_back(column);
              });
        // Unique indexes of one column; the primary key is reported on its own.
        ForEachRow(mysql_.get(),
              "SELECT TABLE_NAME, MIN(COLUMN_NAME) FROM information_schema.STATISTICS "
              "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME IN (" +
                  names +
                  ") AND NON_UNIQUE = 0 AND INDEX_NAME <> 'PRIMARY' "
                  "GROUP BY TABLE_NAME, INDEX_NAME HAVING COUNT(*) = 1",
              [&](const Row& row) {
                  auto found = wanted.find(row.Text(0));
                  if (found == wanted.end() || row.Null(1)) return;
                  std::string columnName = row.Text(1);
                  for (TableInfo* table : found->second) {
                      for (ColumnInfo& column : table->columns) {
                          if (column.name == columnName) column.unique = true;
                      }
                  }
              });
        for (TableInfo& table : tables) {
            if (!existing.contains(table.name)) {
                table.error = "table not found: " + table.name;
            } else if (table.columns.empty()) {
                // A view whose tables or columns are gone lists no columns at all.
                table.error = "the columns of " + table.name + " cannot be read";
            }
        }
    }

    std::vector<ForeignKeyInfo> ReadForeignKeys() override {
        std::vector<ForeignKeyInfo> keys;
        ForEachRow(mysql_.get(),
              "SELECT TABLE_NAME, CONSTRAINT_NAME, REFERENCED_TABLE_NAME, COLUMN_NAME, REFERENCED_COLUMN_NAME "
              "FROM information_schema.KEY_COLUMN_USAGE WHERE TABLE_SCHEMA = DATABASE() "
              "AND REFERENCED_TABLE_SCHEMA = DATABASE() AND REFERENCED_TABLE_NAME IS NOT NULL "
              "ORDER BY TABLE_NAME, CONSTRAINT_NAME, ORDINAL_POSITION",
              [&](const Row& row) {
                  if (keys.empty() || keys.back().table != row.Text(0) || keys.back().name != row.Text(1))
                      keys.push_back({"", row.Text(0), row.Text(1), "", row.Text(2), {}});
                  keys.back().columns.emplace_back(row.Text(3), row.Text(4));
              });
        return keys;
    }

private:
    // 'a','b',... escaped for the connection's character set.
    std::string NameList(const std::map<std::string, std::vector<TableInfo*>>& wanted) {
        std::string list;
        for (const auto& entry : wanted) {
            const std::string& name = entry.first;
            std::string escaped(name.size() * 2 + 1, '\0');
            unsigned long length = mysql_real_escape_string(mysql_.get(), escaped.data(), name.data(), name.size());
            escaped.resize(length);
            if (!list.empty()) list += ',';
            list += '\'' + escaped + '\'';
        }
        return list;
    }

    Connection mysql_;
    ServerInfo info_;
    bool sqlDefaults_;
    bool writable_;
};

}  // namespace

std::unique_ptr<Catalogue> OpenMySqlCatalogue(const ConnectOptions& options) {
    if (options.database.empty()) throw CatalogueError(Reason::NoDatabase, "no MySQL database given");
    Connection mysql = Connect(options, options.database);
    ServerInfo info;
    // Also for MariaDB: the product is told apart by the version text, the kind by this name.
    info.dbmsName = "MySQL";
    info.dbmsVersion = mysql_get_server_info(mysql.get());
    info.providerName = "libmariadb";
    info.providerVersion = mysql_get_client_info();
    return std::make_unique<MySqlCatalogue>(std::move(mysql), std::move(info), options.writable);
}

std::vector<std::string> ListMySqlDatabases(const ConnectOptions& options) {
    static constexpr std::string_view kSystemDatabases[] = {"information_schema", "performance_schema", "mysql", "sys"};
    Connection mysql = Connect(options, options.database);
    std::vector<std::string> names;
    ForEachRow(mysql.get(), "SHOW DATABASES", [&](const Row& row) {
        std::string name = row.Text(0);
        if (std::find(std::begin(kSystemDatabases), std::end(kSystemDatabases), name) == std::end(kSystemDatabases)) {
            names.push_back(std::move(name));
        }
    });
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace velmora::db
