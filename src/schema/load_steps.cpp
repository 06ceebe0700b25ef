#include "schema/load_steps.h"

#include <algorithm>
#include <map>

#include "model/project/agp.h"
#include "model/core/data_types.h"
#include "model/entities/database.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "schema/db_quotes.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "support/status.h"
#include "support/text.h"

namespace velmora {
namespace {

// ADO field attribute flags.
constexpr std::int32_t kAdFldUpdatable = 0x4;
constexpr std::int32_t kAdFldFixed = 0x10;
constexpr std::int32_t kAdFldIsNullable = 0x20;
constexpr std::int32_t kAdFldMayBeNull = 0x40;
constexpr std::int32_t kAdFldLong = 0x80;
// DAO field attribute flags.
constexpr std::int32_t kDaoFixedField = 0x1;
constexpr std::int32_t kDaoAutoIncrField = 0x10;
// Text longer than this is long text to ADO.
constexpr std::int32_t kMaxShortText = 8000;
// Tables whose columns are read in one catalogue batch: large enough to keep the number of
// queries small, small enough for the progress display to move.
constexpr std::size_t kColumnBatch = 256;

std::int32_t AdoAttributes(const db::ColumnInfo& column, std::int16_t adoType) {
    std::int32_t attributes = 0;
    if (!column.autoIncrement) attributes |= kAdFldUpdatable;
    if (column.nullable) attributes |= kAdFldIsNullable | kAdFldMayBeNull;
    if (adoType == kAdLongVarChar || adoType == kAdLongVarWChar || adoType == kAdLongVarBinary) {
        attributes |= kAdFldLong;
    } else if (FldTypeCategory(adoType) != kCatString && adoType != kAdVarBinary) {
        attributes |= kAdFldFixed;
    }
    return attributes;
}

std::int32_t DaoFieldAttributes(const db::ColumnInfo& column) {
    std::int32_t attributes = 0;
    if (column.attributes & kDaoFixedField) attributes |= kAdFldFixed;
    if (!(column.attributes & kDaoAutoIncrField)) attributes |= kAdFldUpdatable;
    if (column.nullable) attributes |= kAdFldIsNullable;
    return attributes;
}

std::string UnquoteLiteral(std::string_view text) {
    if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') {
        return ReplaceAll(text.substr(1, text.size() - 2), "''", "'");
    }
    return std::string(text);
}

// The ADO route: the type from the provider's code, no default of its own but PostgreSQL's.
void LoadFldAdo(AGPField& field, const db::ColumnInfo& column, std::int16_t kind) {
    std::int16_t type = column.adoType;
    if (kind == kDbPostgreSql) {
        if (type == kAdVarChar && column.size > kMaxShortText) type = kAdLongVarChar;
        if (type == kAdVarWChar && column.size > kMaxShortText) type = kAdLongVarWChar;
    }
    field.SetFldTypeInfo(type, column.precision);
    field.SetNativeDataType(type);
    field.SetFldSize(column.size);
    field.SetFldZeroLen(true);
    field.SetFldReq(false);
    field.SetFldUniqueIdx(false);
    field.SetFldAttribute(AdoAttributes(column, type));
    field.SetFldAutoIncrement(column.autoIncrement);
    field.LoadFldDefault();
    if (!column.defaultValue) return;
    if (kind == kDbPostgreSql) {
        // A sequence default only says where numbers come from; auto-increment fields keep
        // their default for the database alone.
        std::string value = PgDefaultValue(*column.defaultValue);
        if (StartsWithNoCase(*column.defaultValue, "nextval(") || column.autoIncrement) {
            field.SetFldDbDefault(Variant(column.autoIncrement ? value : *column.defaultValue));
            return;
        }
        field.SetFldDefault(Variant(value));
        field.SetFldDbDefault(Variant(*column.defaultValue));
    } else if (!column.autoIncrement) {
        field.SetFldDefault(Variant(LiteralDefaultValue(*column.defaultValue)));
        field.SetFldDbDefault(Variant(*column.defaultValue));
    }
}

// What the database writes itself: a computed column is never entered, and one the database
// sets on every update is not sent back by an edit. A PostgreSQL enumeration is picked from a list.
void ApplyDatabaseWrites(AGPField& field, const db::ColumnInfo& column, std::int16_t kind) {
    if (column.computed || column.updatedByDatabase) {
        field.SetFldEdit(false);
        field.SetFldMultiUpdate(false);
    }
    if (column.computed) field.SetFldAdd(false);
    if (column.isEnum && kind == kDbPostgreSql) field.SetFldHtmlTag("SELECT");
}

// PostgreSQL's native type names: types the engine does not know are not generated, and "bool"
// columns are check boxes.
void ApplyPgNativeType(AGPField& field, const db::ColumnInfo& column) {
    field.SetFldTypeName(column.typeName);
    if (!IsPgNativeType(column.typeName)) {
        field.SetFldSupport(false);
        field.SetFldGenerate(false);
        field.LoadFldDataTypeDefault();
        return;
    }
    if (EqualsNoCase(column.typeName, "bool")) {
        field.SetFldType(kAdBoolean);
        field.SetFldHtmlTag("CHECKBOX");
        field.SetFldTagValues("\"0\",\"No\"\r\n\"1\",\"Yes\"");
    }
}

void LoadFldDao(AGPField& field, const db::ColumnInfo& column) {
    field.MapDaoType(column.nativeType);
    field.SetFldTypeName(AdoTypeName(field.FldType(), 0));
    field.SetNativeDataType(column.nativeType);
    field.SetFldSize(column.size);
    field.SetFldUniqueIdx(false);
    field.SetFldAttribute(DaoFieldAttributes(column));
    field.SetFldAutoIncrement((column.attributes & kDaoAutoIncrField) == kDaoAutoIncrField);
    std::string def = column.defaultValue.value_or(std::string());
    field.SetFldDefault(Variant(def));
    field.SetFldDbDefault(Variant(def));
    field.SetFldZeroLen(column.zeroLength);
    field.SetFldReq(!column.nullable);
    if (!column.caption.empty()) field.SetFldCaption(column.caption);
    field.LoadFldDefault();
}

void LoadFldBridge(AGPField& field, const db::ColumnInfo& column, std::int16_t kind) {
    field.SetFldIsPrimaryKey(column.primaryKey);
    field.SetFldTypeName(column.typeName);
    field.SetNativeDataType(column.nativeType);
    if (column.isEnum || column.isSet) {
        field.SetFldSupport(true);
        field.SetFldTypeInfo(kAdVarWChar, 0);
    } else {
        field.SetFldTypeInfo(column.adoType, column.precision);
    }
    // The bridge maps what it can show (enumerations, domains, arrays, full-text vectors); the
    // types it has no code for stay unsupported.
    if (kind == kDbPostgreSql && !column.isEnum && column.adoType < 0) field.SetFldSupport(false);
    field.SetFldSize(column.size);
    field.SetFldZeroLen(column.zeroLength);
    field.SetFldReq(!column.nullable);
    field.SetFldUniqueIdx(column.unique);
    field.SetFldAutoIncrement(column.autoIncrement);
    field.SetFldAttribute(AdoAttributes(column, field.FldType()));
    std::string raw = column.defaultValue.value_or(std::string());
    std::string value = kind == kDbPostgreSql ? PgDefaultValue(raw) : raw;
    if (!column.autoIncrement && !(kind == kDbPostgreSql && StartsWithNoCase(raw, "nextval("))) {
        field.SetFldDefault(Variant(value));
    }
    field.SetFldDbDefault(Variant(raw));
    if (column.isEnum || column.isSet) field.SetFldTagValues(column.tagValues);
    field.LoadFldDefault();
    ApplyDatabaseWrites(field, column, kind);
}

// Keys and constraints that the ADO route reads after the columns, by the database's kind.
void ApplyAdoKeys(AGPTable& table, const db::TableInfo& info, std::int16_t kind) {
    if (!EqualsNoCase(info.type, "TABLE")) return;
    auto fields = table.Fields();
    for (const db::ColumnInfo& column : info.columns) {
        auto field = fields->Find(Variant(column.name));
        if (!field) continue;
        bool keysFromRowset = kind != kDbAccess && kind != kDbSqlServer && kind != kDbMySql;
        if ((keysFromRowset || kind == kDbAccess || kind == kDbSqlServer) && column.primaryKey) {
            field->SetFldIsPrimaryKey(true);
        }
        if (keysFromRowset && !column.nullable) {
            field->SetFldReq(true);
            field->SetFldRequired(true);
        }
        if (kind != kDbMySql && column.unique) field->SetFldUniqueIdx(true);
    }
}

void ApplyDaoKeys(AGPTable& table, const db::TableInfo& info) {
    auto fields = table.Fields();
    for (const db::ColumnInfo& column : info.columns) {
        auto field = fields->Find(Variant(column.name));
        if (!field) continue;
        if (column.primaryKey) field->SetFldIsPrimaryKey(true);
        if (column.unique) field->SetFldUniqueIdx(true);
        // A GUID key filled by the database is numbered by it, not entered.
        if (field->FldType() == kAdGUID && field->FldIsPrimaryKey() &&
            field->FldDefault().ToText() == "GenGUID()") {
            field->SetFldDbDefault(Variant(std::string()));
            field->SetFldDefault(Variant(std::string()));
            field->SetFldAutoIncrement(true);
            field->SetFldAdd(false);
        }
    }
}

std::string DuplicateColumnMessage(std::string_view name) {
    return ProductMessage("Duplicate Column Name - " + std::string(name) +
                          " found! ASP scripts may not be generated correctly! Please rename duplicated "
                          "field names to ensure correct generation!");
}

AGPStatus*& LoadStatusSlot() {
    static AGPStatus* status = nullptr;
    return status;
}

std::shared_ptr<AGPTables>& LinkTarget() {
    static std::shared_ptr<AGPTables> target;
    return target;
}

}  // namespace

LinkTargetScope::LinkTargetScope(std::shared_ptr<AGPTables> target) : previous_(std::move(LinkTarget())) {
    LinkTarget() = std::move(target);
}
LinkTargetScope::~LinkTargetScope() { LinkTarget() = std::move(previous_); }

LoadStatusScope::LoadStatusScope(AGPStatus* status) : previous_(LoadStatusSlot()) { LoadStatusSlot() = status; }
LoadStatusScope::~LoadStatusScope() { LoadStatusSlot() = previous_; }
AGPStatus* CurrentLoadStatus() { return LoadStatusSlot(); }

std::string AccessFileName(std::string_view path) {
    auto separator = path.find_last_of("\\/");
    return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

std::string PgDefaultValue(std::string_view def) {
    if (StartsWithNoCase(def, "nextval(")) return std::string(def);
    std::string_view value = def.substr(0, def.find("::"));
    if (value == "NULL") return {};
    return UnquoteLiteral(value);
}

std::string LiteralDefaultValue(std::string_view def) {
    std::string_view value = TrimView(def);
    if (EqualsNoCase(value, "NULL")) return {};
    return UnquoteLiteral(value);
}

void LoadTableColumns(AGPTable& table, const db::TableInfo& info, LoadRoute route, std::int16_t kind,
                      db::Catalogue* catalogue) {
    table.SetTblGen(true);
    table.SetTblError(info.error);
    if (!info.error.empty()) {
        // Listed but unreadable (dropped meanwhile, a broken view): kept with its defaults only.
        table.LoadTableDefault();
        table.SetTblGen(false);
        return;
    }
    auto fields = table.Fields();
    std::string tableName = table.TblName();
    for (const db::ColumnInfo& column : info.columns) {
        if (fields->FieldExist(Variant(column.name))) {
            table.SetTblGen(false);
            table.SetTblError(DuplicateColumnMessage(column.name));
            continue;
        }
        fields->Add(tableName, column.name);
        auto field = fields->Find(Variant(column.name));
        switch (route) {
            case LoadRoute::Ado:
                LoadFldAdo(*field, column, kind);
                if (kind == kDbPostgreSql) ApplyPgNativeType(*field, column);
                ApplyDatabaseWrites(*field, column, kDbOther);
                break;
            case LoadRoute::Dao: LoadFldDao(*field, column); break;
            case LoadRoute::Bridge: LoadFldBridge(*field, column, kind); break;
        }
    }
    bool dialectSteps = route == LoadRoute::Ado && catalogue;
    if (dialectSteps && kind == kDbOracle) ApplyOracleSteps(table, *catalogue, info.schema);
    if (route == LoadRoute::Ado) ApplyAdoKeys(table, info, kind);
    if (route == LoadRoute::Dao) ApplyDaoKeys(table, info);
    if (dialectSteps && kind == kDbSqlServer && EqualsNoCase(info.type, "TABLE")) {
        ApplySqlServerSteps(table, *catalogue);
    }

    std::vector<std::string> keys;
    for (const auto& field : fields->Items()) {
        if (field->FldIsPrimaryKey()) keys.push_back(field->FldName());
    }
    table.SetTblKey(SortKeyList(std::move(keys)));
    bool generate = table.TblGen();
    table.LoadTableDefault();
    table.SetTblGen(generate);
    table.SetTblLoaded(true);
}

bool WalkTables(const TableWalk& walk) { return WalkTables(walk, walk.catalogue.ListTables()); }

bool WalkTables(const TableWalk& walk, std::vector<db::TableInfo> listed) {
    SettingsSnapshot settings;
    bool loadAll = walk.tableName.empty();
    bool linkMode = !walk.projTableName.empty();
    std::vector<db::TableInfo> taken;
    for (db::TableInfo& info : listed) {
        if (info.type != "TABLE" && info.type != "VIEW") continue;
        if (!loadAll && info.name != walk.tableName) continue;
        if (walk.accept && !walk.accept(info)) continue;
        taken.push_back(std::move(info));
    }
    if (!loadAll && taken.empty()) {
        return Fail(ProductMessage("Table " + walk.tableName + " not found!"));
    }

    auto tables = linkMode && LinkTarget() ? LinkTarget() : walk.database.Tables();
    bool readFields = !(Loader().dynamicLoad && loadAll);
    for (std::size_t begin = 0; begin < taken.size(); begin += kColumnBatch) {
        std::span<db::TableInfo> batch(taken.data() + begin, std::min(kColumnBatch, taken.size() - begin));
        if (readFields) walk.catalogue.ReadColumns(batch);
        for (std::size_t i = 0; i < batch.size(); ++i) {
            const db::TableInfo& info = batch[i];
            if (walk.status) walk.status->DispStatus(walk.statusText(info));
            std::string projName = linkMode ? walk.projTableName : info.name;
            if (!tables->TableExist(Variant(projName))) tables->Add(projName);
            auto table = tables->Find(Variant(projName));
            if (linkMode) {
                table->SetTblType("LINKTABLE");
                table->SetLinkTableType(info.type);
                table->SetLinkTableName(info.name);
            } else {
                table->SetTblType(info.type);
            }
            table->SetTblSchema(walk.schemaOf ? walk.schemaOf(info) : info.schema);
            table->SetTblLoaded(false);
            if (readFields) {
                LoadTableColumns(*table, info, walk.route, walk.kind, &walk.catalogue);
            } else {
                table->SetTblGen(false);
            }
            if (walk.status) {
                walk.status->SetStatus(100.0 * static_cast<double>(begin + i + 1) / static_cast<double>(taken.size()));
            }
        }
    }
    return true;
}

}  // namespace velmora
