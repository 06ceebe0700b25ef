// Access files (.mdb, .accdb) through libmdb, opened read-only. Columns are reported with their
// DAO field type and attributes, which the loader maps itself, together with the field properties
// Access keeps beside the table definition: caption, default, required, allow-zero-length.
#include <glib.h>  // ahead of mdbtools.h, which would include it inside extern "C"
#include <mdbtools.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <span>
#include <string_view>
#include <system_error>
#include <tuple>

#include "platform/db/access_query_columns.h"
#include "platform/db/drivers.h"
#include "support/text.h"

namespace velmora::db {
namespace {

using Reason = CatalogueError::Reason;

// Storage types libmdb has no name for.
constexpr int kMdbBigInt = 0x13;  // "Large Number" of ACE 16

// DAO field type for attachments, multi-value fields and storage types this table does not know:
// outside every DAO code, so the field ends up unsupported.
constexpr std::int16_t kDaoUnsupported = 101;

struct AccessType {
    int mdbType;
    std::int16_t daoType;
    std::int32_t size;  // DAO's Field.Size; 0: the file's own (text, binary) or none (memo, OLE)
};

constexpr std::array kAccessTypes{
    AccessType{MDB_BOOL, 1, 1},      AccessType{MDB_BYTE, 2, 1},       AccessType{MDB_INT, 3, 2},
    AccessType{MDB_LONGINT, 4, 4},   AccessType{MDB_MONEY, 5, 8},      AccessType{MDB_FLOAT, 6, 4},
    AccessType{MDB_DOUBLE, 7, 8},    AccessType{MDB_DATETIME, 8, 8},   AccessType{MDB_BINARY, 9, 0},
    AccessType{MDB_TEXT, 10, 0},     AccessType{MDB_OLE, 11, 0},       AccessType{MDB_MEMO, 12, 0},
    AccessType{MDB_REPID, 15, 16},   AccessType{kMdbBigInt, 16, 8},    AccessType{MDB_NUMERIC, 20, 16},
};

// DAO field attributes.
constexpr std::int32_t kDaoFixedField = 0x1;
constexpr std::int32_t kDaoVariableField = 0x2;
constexpr std::int32_t kDaoAutoIncrField = 0x10;

// MSysObjects flags and the DAO table attributes they stand for.
constexpr std::uint32_t kSystemObjectFlags = 0x80000002;
constexpr std::uint32_t kHiddenObjectFlag = 0x8;
constexpr std::uint32_t kQueryTypeMask = 0xF0;  // 0 select; crosstab, action, union otherwise
constexpr std::int32_t kDaoSystemObject = static_cast<std::int32_t>(0x80000002);
constexpr std::int32_t kDaoHiddenObject = 0x1;

// libmdb's index_type values.
constexpr unsigned char kPrimaryIndex = 1;
constexpr unsigned char kForeignKeyReference = 2;

struct JetVersion {
    guint32 code;
    std::string_view name;
};

constexpr std::array kJetVersions{
    JetVersion{MDB_VER_JET3, "3.0"},         JetVersion{MDB_VER_JET4, "4.0"},
    JetVersion{MDB_VER_ACCDB_2007, "12.0"},  JetVersion{MDB_VER_ACCDB_2010, "14.0"},
    JetVersion{MDB_VER_ACCDB_2013, "15.0"},  JetVersion{MDB_VER_ACCDB_2016, "16.0"},
    JetVersion{MDB_VER_ACCDB_2019, "16.0"},
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
struct MdbCloser {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableDefFree {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;
using Mdb = std::unique_ptr<MdbHandle, MdbCloser>;
using TableDef = std::unique_ptr<MdbTableDef, TableDefFree>;

// Jet and ACE files open with a fixed signature. Checking it first keeps libmdb from guessing at
// other files: it accepts an empty one and complains on stderr about the rest.
void CheckAccessFile(const std::string& path) {
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    if (path.empty() || !std::filesystem::exists(status)) {
        throw CatalogueError(Reason::Connect, "file not found: " + path);
    }
    if (std::filesystem::is_directory(status)) {
        throw CatalogueError(Reason::NotADatabase, "a folder, not an Access database: " + path);
    }
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) throw CatalogueError(Reason::Connect, std::string(std::strerror(errno)) + ": " + path);

    constexpr std::string_view kMagic("\x00\x01\x00\x00", 4);
    constexpr std::string_view kJetSignature("Standard Jet DB\0", 16);
    constexpr std::string_view kAceSignature("Standard ACE DB\0", 16);
    std::array<char, 0x18> header{};
    std::size_t got = std::fread(header.data(), 1, header.size(), file.get());
    if (got < header.size() && std::ferror(file.get())) {
        throw CatalogueError(Reason::Connect, std::string(std::strerror(errno)) + ": " + path);
    }
    std::string_view head(header.data(), got);
    std::string_view signature = head.size() >= 20 ? head.substr(4, 16) : std::string_view();
    if (!head.starts_with(kMagic) || (signature != kJetSignature && signature != kAceSignature)) {
        throw CatalogueError(Reason::NotADatabase, "not an Access database: " + path);
    }
    // The object catalogue lives on page 2; Jet 3 pages are 2 KB, later ones 4 KB.
    std::uintmax_t pageSize = header[0x14] == MDB_VER_JET3 ? 2048 : 4096;
    std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size < 3 * pageSize) {
        throw CatalogueError(Reason::NotADatabase, "truncated Access database: " + path);
    }
}

std::string JetVersionName(guint32 code) {
    for (const JetVersion& version : kJetVersions)
        if (version.code == code) return std::string(version.name);
    return std::to_string(code);
}

const AccessType* FindAccessType(int mdbType) {
    auto it = std::find_if(kAccessTypes.begin(), kAccessTypes.end(),
                           [mdbType](const AccessType& type) { return type.mdbType == mdbType; });
    return it == kAccessTypes.end() ? nullptr : &*it;
}

std::optional<std::string> ColumnProperty(const MdbColumn& column, const char* key) {
    const char* value = mdb_col_get_prop(&column, key);
    if (!value) return std::nullopt;
    return std::string(value);
}

// libmdb spells Boolean properties "yes" and "no".
bool IsYes(const std::optional<std::string>& value) {
    return value && (EqualsNoCase(*value, "yes") || EqualsNoCase(*value, "true"));
}

ColumnInfo DescribeColumn(const MdbColumn& source, bool jet3) {
    ColumnInfo column;
    column.name = source.name;
    const AccessType* type = FindAccessType(source.col_type);
    column.nativeType = type ? type->daoType : kDaoUnsupported;
    if (type && type->size) {
        column.size = type->size;
    } else if (source.col_type == MDB_TEXT) {
        // Jet 4 and ACE store text as UTF-16 and give its size in bytes.
        column.size = jet3 ? source.col_size : source.col_size / 2;
    } else if (source.col_type == MDB_BINARY) {
        column.size = source.col_size;
    }
    if (source.col_type == MDB_NUMERIC) column.precision = source.col_prec;
    // libmdb's GUID-numbering flag means something else in Jet 3 files; only a GUID column has it.
    column.autoIncrement = source.is_long_auto || (source.col_type == MDB_REPID && source.is_uuid_auto);
    column.attributes = (source.is_fixed ? kDaoFixedField : kDaoVariableField) |
                        (column.autoIncrement ? kDaoAutoIncrField : 0);
    column.caption = ColumnProperty(source, "Caption").value_or("");
    column.defaultValue = ColumnProperty(source, "DefaultValue");
    column.nullable = !IsYes(ColumnProperty(source, "Required")) && !column.autoIncrement;
    column.zeroLength = IsYes(ColumnProperty(source, "AllowZeroLength"));
    return column;
}

// Keys and single-column unique indexes. A primary key's columns can hold no NULL whatever their
// Required property says. Foreign-key references are listed as indexes but hold no keys.
void ApplyIndexes(const MdbTableDef& table, std::vector<ColumnInfo>& columns) {
    if (!table.indices) return;
    for (guint i = 0; i < table.indices->len; ++i) {
        const auto* index = static_cast<const MdbIndex*>(g_ptr_array_index(table.indices, i));
        if (index->index_type == kForeignKeyReference) continue;
        bool primary = index->index_type == kPrimaryIndex || std::string_view(index->name) == "PrimaryKey";
        bool unique = !primary && (index->flags & MDB_IDX_UNIQUE) && index->num_keys == 1;
        for (unsigned k = 0; k < index->num_keys && k < MDB_MAX_IDX_COLS; ++k) {
            int position = index->key_col_num[k] - 1;  // 1-based column numbers
            if (position < 0 || static_cast<std::size_t>(position) >= columns.size()) continue;
            ColumnInfo& column = columns[static_cast<std::size_t>(position)];
            if (primary) {
                column.primaryKey = true;
                column.nullable = false;
            }
            if (unique) column.unique = true;
        }
    }
}

std::optional<std::vector<ColumnInfo>> ReadTableColumns(MdbCatalogEntry* entry) {
    TableDef table(mdb_read_table(entry));
    if (!table || !mdb_read_columns(table.get())) return std::nullopt;
    mdb_read_indices(table.get());
    bool jet3 = IS_JET3(entry->mdb);
    std::vector<ColumnInfo> columns;
    for (guint i = 0; i < table->columns->len; ++i) {
        columns.push_back(DescribeColumn(*static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i)), jet3));
    }
    ApplyIndexes(*table, columns);
    return columns;
}

// The named columns of every row of a system table, as text; empty when a column is missing.
std::vector<std::vector<std::string>> ReadSystemRows(MdbCatalogEntry* entry, std::span<const char* const> names) {
    std::vector<std::vector<std::string>> rows;
    TableDef table(mdb_read_table(entry));
    if (!table || !mdb_read_columns(table.get())) return rows;
    std::size_t bindSize = entry->mdb->bind_size;
    std::vector<std::vector<char>> values(names.size(), std::vector<char>(bindSize + 1, '\0'));
    std::vector<int> lengths(names.size(), 0);
    for (std::size_t n = 0; n < names.size(); ++n) {
        bool bound = false;
        for (guint i = 0; i < table->columns->len && !bound; ++i) {
            auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
            if (std::strcmp(column->name, names[n]) != 0) continue;
            mdb_bind_column(table.get(), static_cast<int>(i) + 1, values[n].data(), &lengths[n]);
            bound = true;
        }
        if (!bound) return rows;
    }
    mdb_rewind_table(table.get());
    while (mdb_fetch_row(table.get())) {
        auto& row = rows.emplace_back();
        for (std::size_t n = 0; n < names.size(); ++n)
            row.emplace_back(values[n].data(), static_cast<std::size_t>(lengths[n]));
    }
    return rows;
}

long NumberOf(const std::string& text) { return text.empty() ? 0L : std::strtol(text.c_str(), nullptr, 10); }

// The rows of MSysQueries, by the catalogue id of the query they belong to.
std::map<unsigned long, std::vector<AccessQueryRow>> ReadQueryRows(MdbCatalogEntry* entry) {
    static constexpr std::array<const char*, 6> kNames{"ObjectId", "Attribute", "Flag", "Name1", "Name2", "Expression"};
    std::map<unsigned long, std::vector<AccessQueryRow>> queries;
    for (auto& values : ReadSystemRows(entry, kNames)) {
        AccessQueryRow row;
        row.attribute = static_cast<int>(NumberOf(values[1]));
        row.flag = static_cast<int>(NumberOf(values[2]));
        row.name1 = std::move(values[3]);
        row.name2 = std::move(values[4]);
        row.expression = std::move(values[5]);
        // The catalogue keeps an object's id without its top byte.
        unsigned long id = static_cast<unsigned long>(NumberOf(values[0])) & 0x00FFFFFFUL;
        queries[id].push_back(std::move(row));
    }
    return queries;
}

// The relationships of MSysRelationships as foreign keys, pairs in their column order.
std::vector<ForeignKeyInfo> ReadRelationships(MdbCatalogEntry* entry) {
    static constexpr std::array<const char*, 6> kNames{"szObject", "szRelationship", "szReferencedObject",
                                                       "szColumn", "szReferencedColumn", "icolumn"};
    auto rows = ReadSystemRows(entry, kNames);
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return std::tuple(a[0], a[1], NumberOf(a[5])) < std::tuple(b[0], b[1], NumberOf(b[5]));
    });
    std::vector<ForeignKeyInfo> keys;
    for (auto& row : rows) {
        if (keys.empty() || keys.back().table != row[0] || keys.back().name != row[1])
            keys.push_back({"", row[0], row[1], "", row[2], {}});
        keys.back().columns.emplace_back(std::move(row[3]), std::move(row[4]));
    }
    return keys;
}

// A query's own field property, e.g. the caption it gives an output.
std::optional<std::string> QueryFieldProperty(const MdbCatalogEntry& entry, std::string_view field,
                                              const char* key) {
    if (!entry.props || field.empty()) return std::nullopt;
    for (guint i = 0; i < entry.props->len; ++i) {
        const auto* props = static_cast<const MdbProperties*>(g_ptr_array_index(entry.props, i));
        if (!props->name || !EqualsNoCase(props->name, field)) continue;
        const auto* value = static_cast<const char*>(g_hash_table_lookup(props->hash, key));
        if (value) return std::string(value);
    }
    return std::nullopt;
}

struct CatalogObject {
    std::string name;
    int type;
    std::uint32_t flags;
    MdbCatalogEntry* entry;  // owned by the handle

    std::int32_t TableAttributes() const {
        if ((flags & kSystemObjectFlags) || StartsWithNoCase(name, "MSys")) return kDaoSystemObject;
        return (flags & kHiddenObjectFlag) ? kDaoHiddenObject : 0;
    }
    bool IsSelectQuery() const { return type == MDB_QUERY && (flags & kQueryTypeMask) == 0; }
    // Queries Access itself lists: "~" names are the hidden sources of forms and reports.
    bool IsListedQuery() const {
        return IsSelectQuery() && !name.starts_with('~') && !(flags & kHiddenObjectFlag);
    }
};

class AccessCatalogue : public Catalogue {
public:
    AccessCatalogue(Mdb mdb, ServerInfo info) : mdb_(std::move(mdb)), info_(std::move(info)) {
        GPtrArray* catalog = mdb_->catalog;
        for (guint i = 0; catalog && i < catalog->len; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
            auto flags = static_cast<std::uint32_t>(entry->flags);
            objects_.push_back({entry->object_name, entry->object_type, flags, entry});
        }
    }

    const ServerInfo& Info() const override { return info_; }

    std::vector<TableInfo> ListTables() override {
        std::vector<TableInfo> tables;
        for (const CatalogObject& object : objects_) {
            TableInfo table;
            table.name = object.name;
            if (object.type == MDB_TABLE && object.TableAttributes() == 0) {
                table.type = "TABLE";
            } else if (object.IsListedQuery() && QueryColumns(object)) {
                table.type = "VIEW";
            } else {
                continue;
            }
            tables.push_back(std::move(table));
        }
        std::stable_sort(tables.begin(), tables.end(), [](const TableInfo& a, const TableInfo& b) {
            return CompareNoCase(a.name, b.name) < 0;
        });
        return tables;
    }

    // A file offers no batched read: each table definition is its own set of pages.
    void ReadColumns(std::span<TableInfo> tables) override {
        for (TableInfo& table : tables) {
            table.columns.clear();
            table.error.clear();
            const CatalogObject* object = Find(table.name);
            if (!object) {
                table.error = "no such table: " + table.name;
                continue;
            }
            const std::vector<ColumnInfo>* columns = Columns(*object);
            if (!columns) {
                table.error = "the definition of " + table.name + " cannot be read";
                continue;
            }
            table.columns = *columns;
        }
    }

    std::vector<ForeignKeyInfo> ReadForeignKeys() override {
        for (const CatalogObject& object : objects_)
            if (object.type == MDB_TABLE && object.name == "MSysRelationships") return ReadRelationships(object.entry);
        return {};
    }

private:
    const CatalogObject* Find(std::string_view name) const {
        for (const CatalogObject& object : objects_) {
            if ((object.type == MDB_TABLE || object.type == MDB_QUERY) && EqualsNoCase(object.name, name)) {
                return &object;
            }
        }
        return nullptr;
    }

    const std::vector<ColumnInfo>* Columns(const CatalogObject& object) {
        return object.type == MDB_QUERY ? QueryColumns(object) : TableColumns(object);
    }

    const std::vector<ColumnInfo>* TableColumns(const CatalogObject& table) {
        std::string key = FoldCase(table.name);
        auto found = tableColumns_.find(key);
        if (found == tableColumns_.end()) found = tableColumns_.emplace(key, ReadTableColumns(table.entry)).first;
        return found->second ? &*found->second : nullptr;
    }

    const std::vector<ColumnInfo>* QueryColumns(const CatalogObject& query) {
        std::string key = FoldCase(query.name);
        if (auto found = queryColumns_.find(key); found != queryColumns_.end()) {
            return found->second ? &*found->second : nullptr;
        }
        // A query that reads itself, directly or through others, has no columns to find.
        if (!query.IsSelectQuery() || !resolving_.insert(key).second) return nullptr;
        const std::vector<AccessQueryRow>& rows = QueryRows()[query.entry->table_pg];
        auto resolved = ResolveQueryColumns(rows, [this](std::string_view name) -> const std::vector<ColumnInfo>* {
            const CatalogObject* source = Find(name);
            return source ? Columns(*source) : nullptr;
        });
        resolving_.erase(key);

        std::optional<std::vector<ColumnInfo>> columns;
        if (resolved) {
            columns.emplace();
            for (QueryColumn& output : *resolved) {
                auto caption = QueryFieldProperty(*query.entry, output.propertyKey, "Caption");
                if (caption) output.column.caption = *caption;
                columns->push_back(std::move(output.column));
            }
        }
        auto& slot = queryColumns_[key] = std::move(columns);
        return slot ? &*slot : nullptr;
    }

    std::map<unsigned long, std::vector<AccessQueryRow>>& QueryRows() {
        if (!queryRows_) {
            queryRows_.emplace();
            for (const CatalogObject& object : objects_) {
                if (object.type == MDB_TABLE && object.name == "MSysQueries") *queryRows_ = ReadQueryRows(object.entry);
            }
        }
        return *queryRows_;
    }

    Mdb mdb_;
    ServerInfo info_;
    std::vector<CatalogObject> objects_;
    // Keyed by the folded name; nullopt: the definition cannot be read or traced.
    std::map<std::string, std::optional<std::vector<ColumnInfo>>> tableColumns_;
    std::map<std::string, std::optional<std::vector<ColumnInfo>>> queryColumns_;
    std::set<std::string> resolving_;
    std::optional<std::map<unsigned long, std::vector<AccessQueryRow>>> queryRows_;
};

}  // namespace

std::unique_ptr<Catalogue> OpenAccessCatalogue(const ConnectOptions& options) {
    CheckAccessFile(options.path);
    Mdb mdb(mdb_open(options.path.c_str(), MDB_NOFLAGS));
    if (!mdb) throw CatalogueError(Reason::NotADatabase, "libmdb cannot read this file: " + options.path);
    if (!mdb_read_catalog(mdb.get(), MDB_ANY)) {
        throw CatalogueError(Reason::NotADatabase, "the object catalogue cannot be read: " + options.path);
    }
    ServerInfo info{"ACCESS", JetVersionName(mdb->f->jet_version), "libmdb", mdb_get_version()};
    return std::make_unique<AccessCatalogue>(std::move(mdb), std::move(info));
}

}  // namespace velmora::db
