#include "schema/text_column.h"

#include <array>
#include <span>
#include <utility>

#include "model/project/agp.h"
#include "model/core/data_types.h"
#include "model/entities/database.h"
#include "model/entities/databases.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "platform/db/catalogue.h"
#include "schema/db_quotes.h"
#include "schema/load_steps.h"
#include "support/text.h"

namespace velmora {
namespace {

using Route = db::ConnectOptions::Route;

// How each dialect makes a column a longer text: "ALTER TABLE " + table + `column` + field +
// `type` with {size} filled in.
struct WidenDialect {
    std::int16_t kind;
    std::string_view quoteStart;
    std::string_view quoteEnd;
    std::string_view column;
    std::string_view type;
};

constexpr WidenDialect kSqlServerWiden{kDbSqlServer, "[", "]", " ALTER COLUMN ", " VARCHAR({size}) NULL"};

constexpr std::array kWidenDialects{
    WidenDialect{kDbPostgreSql, "\"", "\"", " ALTER COLUMN ", " TYPE VARCHAR({size})"},
    WidenDialect{kDbMySql, "`", "`", " MODIFY COLUMN ", " VARCHAR({size}) NULL"},
    // MODIFY to NULL fails on a column that is nullable already, so nullability stays as it is.
    WidenDialect{kDbOracle, "\"", "\"", " MODIFY (", " VARCHAR2({size}))"},
    WidenDialect{kDbAccess, "[", "]", " ALTER COLUMN ", " Text({size})"},
    kSqlServerWiden,
};

const WidenDialect* FindDialect(std::int16_t kind) {
    for (const WidenDialect& dialect : kWidenDialects)
        if (dialect.kind == kind) return &dialect;
    return nullptr;
}

const WidenDialect& DialectOf(std::int16_t kind) {
    const WidenDialect* dialect = FindDialect(kind);
    return dialect ? *dialect : kSqlServerWiden;
}

std::string QualifiedName(const WidenDialect& dialect, std::string_view schema, std::string_view table) {
    std::string name = QuoteIdentifier(table, dialect.quoteStart, dialect.quoteEnd);
    if (schema.empty()) return name;
    return QuoteIdentifier(schema, dialect.quoteStart, dialect.quoteEnd) + "." + name;
}

// ADO types of long texts and binaries, whose size is no declared limit.
constexpr std::array<std::int16_t, 3> kLongTypes{kAdLongVarChar, kAdLongVarWChar, kAdLongVarBinary};

std::int32_t DeclaredSizeOf(const db::ColumnInfo& column) {
    for (std::int16_t type : kLongTypes)
        if (column.adoType == type) return kUnlimitedTextSize;
    return column.size > 0 ? column.size : kUnlimitedTextSize;
}

// The database kind behind a connection: the route's own, or for ODBC the driver's DBMS.
std::int16_t KindOf(Route route, const db::ServerInfo& info) {
    switch (route) {
        case Route::PostgreSql: return kDbPostgreSql;
        case Route::MySql: return kDbMySql;
        case Route::Access: return kDbAccess;
        case Route::Sqlite: return kDbSqlite;
        case Route::Odbc: break;
    }
    if (ContainsNoCase(info.dbmsName, "MariaDB")) return kDbMySql;
    return DbKindOf(info.dbmsName);
}

class DatabaseTextColumn : public TextColumn {
public:
    // `unreachable` says why there are no `options`.
    DatabaseTextColumn(std::optional<db::ConnectOptions> options, std::string unreachable, std::string schema,
                       std::string table, std::string field)
        : options_(std::move(options)), unreachable_(std::move(unreachable)), schema_(std::move(schema)),
          table_(std::move(table)), field_(std::move(field)) {
        if (options_) options_->writable = true;
    }

    bool SizeEnforced() const override { return !options_ || options_->route != Route::Sqlite; }

    std::optional<std::int32_t> DeclaredSize(std::string& error) override {
        try {
            std::vector<db::ColumnInfo> columns = ReadColumns();
            for (const db::ColumnInfo& column : columns)
                if (column.name == field_) return DeclaredSizeOf(column);
            for (const db::ColumnInfo& column : columns)
                if (EqualsNoCase(column.name, field_)) return DeclaredSizeOf(column);
            error = "field " + field_ + " not found in table " + table_;
        } catch (const db::CatalogueError& failure) {
            error = failure.what();
        }
        return std::nullopt;
    }

    bool Widen(std::int32_t size, std::string& error) override {
        try {
            db::Catalogue& catalogue = Connection();
            catalogue.Execute(WidenColumnStatement(kind_, schema_, table_, field_, size));
            return true;
        } catch (const db::CatalogueError& failure) {
            error = failure.what();
            return false;
        }
    }

private:
    db::Catalogue& Connection() {
        if (catalogue_) return *catalogue_;
        if (!options_) throw db::CatalogueError(db::CatalogueError::Reason::Connect, unreachable_);
        catalogue_ = db::OpenCatalogue(*options_);
        kind_ = KindOf(options_->route, catalogue_->Info());
        return *catalogue_;
    }

    // An Access file describes no statements; its table definition has the field sizes.
    std::vector<db::ColumnInfo> ReadColumns() {
        db::Catalogue& catalogue = Connection();
        if (kind_ == kDbAccess) {
            db::TableInfo info;
            info.schema = schema_;
            info.name = table_;
            catalogue.ReadColumns(std::span(&info, 1));
            if (!info.error.empty()) throw db::CatalogueError(db::CatalogueError::Reason::Query, info.error);
            return info.columns;
        }
        // A database of another kind gets the names as they are: its quotes are not known here.
        const WidenDialect* dialect = FindDialect(kind_);
        std::string source = dialect ? QualifiedName(*dialect, schema_, table_)
                                     : (schema_.empty() ? table_ : schema_ + "." + table_);
        return catalogue.DescribeQuery("SELECT * FROM " + source + " WHERE 0=1");
    }

    std::optional<db::ConnectOptions> options_;
    std::string unreachable_;
    std::string schema_;
    std::string table_;
    std::string field_;
    std::unique_ptr<db::Catalogue> catalogue_;
    std::int16_t kind_ = kDbUnknown;
};

}  // namespace

std::unique_ptr<TextColumn> ProjectTextColumn(AGP& project, std::string_view table, std::string_view field) {
    std::shared_ptr<AGPDatabase> database = project.DB();
    std::string name(table);
    std::string schema;
    std::string unreachable = "database not loaded";
    if (auto found = database ? database->Tables()->Find(Variant(name)) : nullptr) {
        schema = found->TblSchema();
        if (EqualsNoCase(found->TblType(), "LINKTABLE")) {
            database = project.LINKDBS()->Find(Variant(found->LinkDBID()));
            unreachable = "link database '" + found->LinkDBID() + "' not found";
            if (!found->LinkTableName().empty()) name = found->LinkTableName();
        }
    }
    std::optional<db::ConnectOptions> options;
    if (database) {
        options = ConnectOptionsOf(*database);
        unreachable = "unknown database type " + database->DBType();
    }
    return std::make_unique<DatabaseTextColumn>(std::move(options), std::move(unreachable), std::move(schema),
                                                std::move(name), std::string(field));
}

std::string WidenColumnStatement(std::int16_t kind, std::string_view schema, std::string_view table,
                                 std::string_view field, std::int32_t size) {
    const WidenDialect& dialect = DialectOf(kind);
    return "ALTER TABLE " + QualifiedName(dialect, schema, table) + std::string(dialect.column) +
           QuoteIdentifier(field, dialect.quoteStart, dialect.quoteEnd) +
           ReplaceAll(dialect.type, "{size}", std::to_string(size));
}

}  // namespace velmora
