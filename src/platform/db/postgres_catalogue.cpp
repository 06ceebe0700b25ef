// PostgreSQL through libpq. The catalogue comes from pg_catalog rather than
// information_schema: it is faster, shows views' columns and identity columns alike, and gives
// the type modifiers that carry lengths and precisions. Every value travels as a parameter.
#include <libpq-fe.h>

#include <algorithm>
#include <array>
#include <map>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "platform/db/drivers.h"

namespace velmora::db {
namespace {

using Reason = CatalogueError::Reason;

struct ConnectionCloser {
    void operator()(PGconn* conn) const { PQfinish(conn); }
};
struct ResultClearer {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Connection = std::unique_ptr<PGconn, ConnectionCloser>;
using Result = std::unique_ptr<PGresult, ResultClearer>;

struct TypeRow {
    std::string_view name;  // pg_type.typname
    std::int16_t adoType;
};

constexpr std::array kTypes{
    TypeRow{"int2", 2},          TypeRow{"int4", 3},      TypeRow{"int8", 20},     TypeRow{"float4", 4},
    TypeRow{"float8", 5},        TypeRow{"numeric", 131}, TypeRow{"money", 6},     TypeRow{"date", 133},
    TypeRow{"timestamp", 135},   TypeRow{"time", 134},    TypeRow{"timetz", 134},  TypeRow{"char", 129},
    TypeRow{"timestamptz", 135}, TypeRow{"bpchar", 129},  TypeRow{"varchar", 200}, TypeRow{"text", 201},
    TypeRow{"bytea", 205},       TypeRow{"bool", 11},     TypeRow{"uuid", 72},     TypeRow{"xml", 141},
    TypeRow{"json", 201},        TypeRow{"jsonb", 201},   TypeRow{"name", 200},    TypeRow{"citext", 201},
};

std::int16_t AdoType(std::string_view typeName) {
    auto it = std::find_if(kTypes.begin(), kTypes.end(), [&](const TypeRow& row) { return row.name == typeName; });
    return it == kTypes.end() ? -1 : it->adoType;
}

// The header of a type modifier; what follows it is the length or the packed precision.
constexpr int kTypmodHeader = 4;

// Characters for text types, digits for numeric, the storage size for fixed-size types.
std::int32_t ColumnSize(std::string_view typeName, int typmod, int typlen) {
    if (typeName == "varchar" || typeName == "bpchar") return typmod >= kTypmodHeader ? typmod - kTypmodHeader : 0;
    if (typeName == "numeric") return typmod >= kTypmodHeader ? ((typmod - kTypmodHeader) >> 16) & 0xffff : 0;
    if (typeName == "name") return typlen - 1;  // the last byte ends the identifier
    return typlen > 0 ? typlen : 0;
}

struct ErrorPattern {
    std::string_view fragment;
    std::string_view alsoFragment;  // empty: the first fragment suffices
    Reason reason;
};

// libpq reports connection failures as text only; these are the server's and libpq's phrases.
// An unknown role is a login failure, an unknown database is not.
constexpr std::array kErrorPatterns{
    ErrorPattern{"authentication failed", "", Reason::Login},
    ErrorPattern{"no password supplied", "", Reason::Login},
    ErrorPattern{"no pg_hba.conf entry", "", Reason::Login},
    ErrorPattern{"pg_hba.conf rejects", "", Reason::Login},
    ErrorPattern{"FATAL:  role \"", "\" does not exist", Reason::Login},
    ErrorPattern{"FATAL:  database \"", "\" does not exist", Reason::NoDatabase},
};

std::string Trimmed(std::string_view text) {
    auto begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos) return {};
    auto end = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(begin, end - begin + 1));
}

Reason ConnectFailureReason(std::string_view message) {
    auto has = [message](std::string_view fragment) { return message.find(fragment) != std::string_view::npos; };
    for (const ErrorPattern& pattern : kErrorPatterns) {
        if (has(pattern.fragment) && has(pattern.alsoFragment)) return pattern.reason;
    }
    return Reason::Connect;
}

Connection Connect(const ConnectOptions& options, const std::string& database) {
    const std::pair<const char*, std::string> settings[] = {
        {"host", options.host},
        {"port", options.port > 0 ? std::to_string(options.port) : std::string()},
        {"user", options.user},
        {"password", options.password},
        {"dbname", database},
        {"client_encoding", options.encoding.empty() ? std::string("UTF8") : options.encoding},
        {"connect_timeout", "10"},
        {"fallback_application_name", "velmora"},
    };
    std::vector<const char*> keywords;
    std::vector<const char*> values;
    for (const auto& [keyword, value] : settings) {
        if (value.empty()) continue;
        keywords.push_back(keyword);
        values.push_back(value.c_str());
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);

    // expand_dbname 0: a database name is only ever a name, never a connection string.
    Connection conn(PQconnectdbParams(keywords.data(), values.data(), 0));
    if (!conn) throw CatalogueError(Reason::Connect, "out of memory connecting to PostgreSQL");
    if (PQstatus(conn.get()) != CONNECTION_OK) {
        std::string message = Trimmed(PQerrorMessage(conn.get()));
        throw CatalogueError(ConnectFailureReason(message), message);
    }
    // Notices ("... does not exist, skipping") are no failures; libpq would print them on stderr.
    PQsetNoticeProcessor(conn.get(), [](void*, const char*) {}, nullptr);
    return conn;
}

Result RunQuery(PGconn* conn, const std::string& sql, const std::vector<std::string>& parameters = {}) {
    std::vector<const char*> values;
    for (const std::string& p : parameters) values.push_back(p.c_str());
    Result result(PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                               nullptr, 0));
    if (!result || PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
        std::string message = Trimmed(result ? PQresultErrorMessage(result.get()) : PQerrorMessage(conn));
        throw CatalogueError(Reason::Query, message);
    }
    return result;
}

// A text array in PostgreSQL's literal form, every element quoted.
std::string ArrayLiteral(const std::vector<std::string>& items) {
    std::string out = "{";
    for (const std::string& item : items) {
        if (out.size() > 1) out += ',';
        out += '"';
        for (char c : item) {
            if (c == '"' || c == '\\') out += '\\';
            out += c;
        }
        out += '"';
    }
    out += '}';
    return out;
}

class Row {
public:
    Row(const PGresult* result, int row) : result_(result), row_(row) {}
    bool Null(int column) const { return PQgetisnull(result_, row_, column) != 0; }
    std::string Text(int column) const { return PQgetvalue(result_, row_, column); }
    long Number(int column) const { return std::strtol(PQgetvalue(result_, row_, column), nullptr, 10); }
    bool Flag(int column) const { return PQgetvalue(result_, row_, column)[0] == 't'; }

private:
    const PGresult* result_;
    int row_;
};

std::string VersionText(int version) {
    int major = version / 10000;
    if (major >= 10) return std::to_string(major) + "." + std::to_string(version % 10000);
    return std::to_string(major) + "." + std::to_string(version / 100 % 100) + "." + std::to_string(version % 100);
}

constexpr const char* kListTables = R"(
SELECT n.nspname, c.relname, c.relkind IN ('v', 'm')
FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
WHERE c.relkind IN ('r', 'p', 'v', 'm')
  AND n.nspname NOT IN ('pg_catalog', 'information_schema')
  AND n.nspname NOT LIKE 'pg\_toast%' AND n.nspname NOT LIKE 'pg\_temp\_%'
ORDER BY n.nspname, c.relname)";

// The tables asked for arrive as two parallel arrays; ord points back into the request. A table
// without columns still gives one row, so that "found" and "has no columns" differ. A table
// given without a schema is the one the search path finds. Domains map by their base type. The placeholders {...} stand for catalogue columns that older
// servers lack.
constexpr std::string_view kReadColumns = R"(
SELECT w.ord, a.attname, t.typname, coalesce(b.typname, t.typname), a.atttypid,
       CASE WHEN a.atttypmod = -1 AND t.typtype = 'd' THEN t.typtypmod ELSE a.atttypmod END,
       coalesce(b.typlen, t.typlen), a.attnotnull,
       CASE WHEN {generated} = '' THEN pg_get_expr(d.adbin, d.adrelid) END,
       {identity} <> '',
       EXISTS (SELECT 1 FROM pg_index i
               WHERE i.indrelid = c.oid AND i.indisprimary AND a.attnum = ANY (i.indkey)),
       EXISTS (SELECT 1 FROM pg_index i
               WHERE i.indrelid = c.oid AND i.indisunique AND NOT i.indisprimary AND i.indisvalid
                 AND i.{keycount} = 1 AND i.indkey[0] = a.attnum AND i.indpred IS NULL),
       t.typtype, t.typcategory, {generated} <> '',
       CASE WHEN t.typtype = 'e' THEN (SELECT string_agg(e.enumlabel, E'\n' ORDER BY e.enumsortorder)
                                       FROM pg_enum e WHERE e.enumtypid = t.oid) END
FROM unnest($1::text[], $2::text[]) WITH ORDINALITY AS w(nsp, rel, ord)
JOIN pg_class c ON c.relname = w.rel AND c.relkind IN ('r', 'p', 'v', 'm', 'f')
JOIN pg_namespace n ON n.oid = c.relnamespace
     AND (n.nspname = w.nsp OR (w.nsp = '' AND pg_table_is_visible(c.oid)))
LEFT JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped
LEFT JOIN pg_type t ON t.oid = a.atttypid
LEFT JOIN pg_type b ON b.oid = t.typbasetype AND t.typtype = 'd'
LEFT JOIN pg_attrdef d ON d.adrelid = c.oid AND d.adnum = a.attnum
ORDER BY w.ord, a.attnum)";

constexpr const char* kForeignKeys = R"(
SELECT n.nspname, c.relname, con.conname, rn.nspname, rc.relname, a.attname, ra.attname
FROM pg_constraint con
JOIN pg_class c ON c.oid = con.conrelid JOIN pg_namespace n ON n.oid = c.relnamespace
JOIN pg_class rc ON rc.oid = con.confrelid JOIN pg_namespace rn ON rn.oid = rc.relnamespace
CROSS JOIN LATERAL unnest(con.conkey, con.confkey) WITH ORDINALITY AS k(attnum, refnum, ord)
JOIN pg_attribute a ON a.attrelid = con.conrelid AND a.attnum = k.attnum
JOIN pg_attribute ra ON ra.attrelid = con.confrelid AND ra.attnum = k.refnum
WHERE con.contype = 'f' AND n.nspname NOT IN ('pg_catalog', 'information_schema')
ORDER BY n.nspname, c.relname, con.conname, k.ord)";

struct CatalogueColumn {
    std::string_view placeholder;
    int sinceVersion;  // server_version_num that introduced the column
    std::string_view column;
    std::string_view fallback;
};

constexpr std::array kVersionedColumns{
    CatalogueColumn{"{identity}", 100000, "a.attidentity", "''"},
    CatalogueColumn{"{generated}", 120000, "a.attgenerated", "''"},
    CatalogueColumn{"{keycount}", 110000, "indnkeyatts", "indnatts"},
};

std::string ReadColumnsQuery(int serverVersion) {
    std::string sql(kReadColumns);
    for (const CatalogueColumn& c : kVersionedColumns) {
        std::string_view with = serverVersion >= c.sinceVersion ? c.column : c.fallback;
        for (auto at = sql.find(c.placeholder); at != std::string::npos; at = sql.find(c.placeholder)) {
            sql.replace(at, c.placeholder.size(), with);
        }
    }
    return sql;
}

enum ColumnField {
    kOrd, kName, kType, kBaseType, kOid, kTypmod, kTyplen, kNotNull, kDefault, kIdentity, kPrimary, kUnique,
    kTypeKind, kTypeCategory, kGenerated, kEnumLabels
};

// ADO codes of the types that have no counterpart of their own: an enumeration is a short text
// with a value list, an array is edited in its text form, a full-text vector is shown as text.
constexpr std::int16_t kAdVarWChar = 202;
constexpr std::int16_t kAdLongVarChar = 201;

// Enumeration labels as edit-control tag values: "\"a\",\"a\"" lines joined with CR LF.
std::string EnumTagValues(std::string_view labels, std::int32_t& longest) {
    std::string values;
    while (!labels.empty()) {
        std::string_view label = labels.substr(0, labels.find('\n'));
        labels.remove_prefix(std::min(labels.size(), label.size() + 1));
        std::string quoted;
        for (char c : label) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        if (!values.empty()) values += "\r\n";
        values += '"' + quoted + "\",\"" + quoted + '"';
        longest = std::max(longest, static_cast<std::int32_t>(label.size()));
    }
    return values;
}

ColumnInfo MakeColumn(const Row& row) {
    ColumnInfo column;
    column.name = row.Text(kName);
    column.typeName = row.Text(kType);
    std::string baseType = row.Text(kBaseType);
    column.nativeType = static_cast<std::int16_t>(row.Number(kOid));
    column.adoType = AdoType(baseType);
    column.size = ColumnSize(baseType, static_cast<int>(row.Number(kTypmod)), static_cast<int>(row.Number(kTyplen)));
    if (baseType == "numeric") column.precision = column.size;
    // A domain is its base type by name too; its constraints are the database's business.
    if (row.Text(kTypeKind) == "d") column.typeName = baseType;
    if (row.Text(kTypeKind) == "e") {
        column.isEnum = true;
        column.adoType = kAdVarWChar;
        column.size = 0;
        column.tagValues = EnumTagValues(row.Text(kEnumLabels), column.size);
    } else if (row.Text(kTypeCategory) == "A") {
        column.adoType = kAdLongVarChar;
    } else if (baseType == "tsvector") {
        column.adoType = kAdLongVarChar;
        column.computed = true;
    }
    column.computed = column.computed || row.Flag(kGenerated);
    column.nullable = !row.Flag(kNotNull);
    if (!row.Null(kDefault)) column.defaultValue = row.Text(kDefault);
    column.autoIncrement = row.Flag(kIdentity) || (column.defaultValue && column.defaultValue->starts_with("nextval("));
    column.primaryKey = row.Flag(kPrimary);
    column.unique = row.Flag(kUnique);
    return column;
}

class PostgresCatalogue : public Catalogue {
public:
    PostgresCatalogue(Connection conn, ServerInfo info, bool writable)
        : conn_(std::move(conn)), info_(std::move(info)), readColumns_(ReadColumnsQuery(PQserverVersion(conn_.get()))),
          writable_(writable) {}

    const ServerInfo& Info() const override { return info_; }

    std::vector<TableInfo> ListTables() override {
        Result result = RunQuery(conn_.get(), kListTables);
        std::vector<TableInfo> tables;
        for (int i = 0; i < PQntuples(result.get()); ++i) {
            Row row(result.get(), i);
            TableInfo table;
            table.schema = row.Text(0);
            table.name = row.Text(1);
            table.type = row.Flag(2) ? "VIEW" : "TABLE";
            tables.push_back(std::move(table));
        }
        return tables;
    }

    void ReadColumns(std::span<TableInfo> tables) override {
        if (tables.empty()) return;
        std::vector<std::string> schemas;
        std::vector<std::string> names;
        for (TableInfo& table : tables) {
            table.columns.clear();
            table.error.clear();
            schemas.push_back(table.schema);
            names.push_back(table.name);
        }
        Result result = RunQuery(conn_.get(), readColumns_, {ArrayLiteral(schemas), ArrayLiteral(names)});
        std::vector<bool> found(tables.size(), false);
        for (int i = 0; i < PQntuples(result.get()); ++i) {
            Row row(result.get(), i);
            auto index = static_cast<std::size_t>(row.Number(kOrd) - 1);
            if (index >= tables.size()) continue;
            found[index] = true;
            if (!row.Null(kName)) tables[index].columns.push_back(MakeColumn(row));
        }
        for (std::size_t i = 0; i < tables.size(); ++i) {
            if (found[i]) continue;
            const TableInfo& table = tables[i];
            tables[i].error = "table not found: " + (table.schema.empty() ? table.name : table.schema + "." + table.name);
        }
    }

    std::vector<ForeignKeyInfo> ReadForeignKeys() override {
        Result result = RunQuery(conn_.get(), kForeignKeys);
        std::vector<ForeignKeyInfo> keys;
        for (int i = 0; i < PQntuples(result.get()); ++i) {
            Row row(result.get(), i);
            bool next = keys.empty() || keys.back().schema != row.Text(0) || keys.back().table != row.Text(1) ||
                        keys.back().name != row.Text(2);
            if (next) keys.push_back({row.Text(0), row.Text(1), row.Text(2), row.Text(3), row.Text(4), {}});
            keys.back().columns.emplace_back(row.Text(5), row.Text(6));
        }
        return keys;
    }

    std::vector<ColumnInfo> DescribeQuery(const std::string& sql) override {
        Result prepared(PQprepare(conn_.get(), "", sql.c_str(), 0, nullptr));
        if (!prepared || PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) {
            throw CatalogueError(Reason::Query, Trimmed(prepared ? PQresultErrorMessage(prepared.get())
                                                                 : PQerrorMessage(conn_.get())));
        }
        Result described(PQdescribePrepared(conn_.get(), ""));
        if (!described || PQresultStatus(described.get()) != PGRES_COMMAND_OK) {
            throw CatalogueError(Reason::Query, Trimmed(PQerrorMessage(conn_.get())));
        }
        int count = PQnfields(described.get());
        std::vector<std::string> oids;
        for (int i = 0; i < count; ++i) oids.push_back(std::to_string(PQftype(described.get(), i)));
        // One look-up names every result type.
        Result types = RunQuery(conn_.get(), "SELECT oid::text, typname, typlen FROM pg_type WHERE oid = ANY($1::oid[])",
                               {"{" + Join(oids) + "}"});
        std::map<std::string, std::pair<std::string, int>> typeByOid;
        for (int i = 0; i < PQntuples(types.get()); ++i) {
            typeByOid[PQgetvalue(types.get(), i, 0)] = {PQgetvalue(types.get(), i, 1),
                                                        std::atoi(PQgetvalue(types.get(), i, 2))};
        }
        std::vector<ColumnInfo> columns;
        for (int i = 0; i < count; ++i) {
            const auto& [typeName, typeLength] = typeByOid[oids[static_cast<std::size_t>(i)]];
            ColumnInfo column;
            column.name = PQfname(described.get(), i);
            column.typeName = typeName;
            column.nativeType = static_cast<std::int16_t>(PQftype(described.get(), i));
            column.adoType = AdoType(typeName);
            column.size = ColumnSize(typeName, PQfmod(described.get(), i), typeLength);
            if (column.adoType == 131) column.precision = column.size;
            columns.push_back(std::move(column));
        }
        return columns;
    }

    // Outside a transaction block each statement commits on its own.
    void Execute(const std::string& sql) override {
        RequireWritable(writable_);
        Result result(PQexec(conn_.get(), sql.c_str()));
        if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
            throw CatalogueError(Reason::Query, Trimmed(result ? PQresultErrorMessage(result.get())
                                                               : PQerrorMessage(conn_.get())));
        }
    }

private:
    static std::string Join(const std::vector<std::string>& items) {
        std::string joined;
        for (const std::string& item : items) joined += (joined.empty() ? "" : ",") + item;
        return joined;
    }

    Connection conn_;
    ServerInfo info_;
    std::string readColumns_;
    bool writable_;
};

}  // namespace

std::unique_ptr<Catalogue> OpenPostgresCatalogue(const ConnectOptions& options) {
    Connection conn = Connect(options, options.database);
    ServerInfo info;
    info.dbmsName = "PostgreSQL";
    // "15.18 (Debian 15.18-0+deb12u1)": the number is the version, the rest the packager's note.
    const char* serverVersion = PQparameterStatus(conn.get(), "server_version");
    std::string version = serverVersion ? serverVersion : "";
    info.dbmsVersion = version.substr(0, version.find(' '));
    info.providerName = "libpq";
    info.providerVersion = VersionText(PQlibVersion());
    return std::make_unique<PostgresCatalogue>(std::move(conn), std::move(info), options.writable);
}

std::vector<std::string> ListPostgresDatabases(const ConnectOptions& options) {
    Connection conn = Connect(options, options.database.empty() ? std::string("postgres") : options.database);
    Result result = RunQuery(conn.get(),
                            "SELECT datname FROM pg_database WHERE NOT datistemplate AND datallowconn "
                            "ORDER BY datname");
    std::vector<std::string> names;
    for (int i = 0; i < PQntuples(result.get()); ++i) names.emplace_back(PQgetvalue(result.get(), i, 0));
    return names;
}

}  // namespace velmora::db
