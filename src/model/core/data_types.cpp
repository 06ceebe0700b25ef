#include "model/core/data_types.h"

#include <algorithm>

#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace {

enum class Quote : std::uint8_t {
    None,        // numbers and Booleans
    Text,        // "'"
    DateAccess,  // "#" on Access, "'" elsewhere
    Unsupported,
};

struct AdoTypeRow {
    std::int16_t code;
    std::string_view name;
    std::int16_t category;
    Quote quote;
};

// Every code the engine names, supports or categorises. 135 is named by precision separately.
constexpr AdoTypeRow kAdoTypes[] = {
    {kAdBigInt, "BIGINT", kCatInteger, Quote::None},
    {kAdBoolean, "BOOLEAN", kCatBoolean, Quote::None},
    {kAdCurrency, "CURRENCY", kCatOtherNumeric, Quote::None},
    {kAdDecimal, "DECIMAL", kCatOtherNumeric, Quote::None},
    {kAdDouble, "DOUBLE", kCatOtherNumeric, Quote::None},
    {kAdInteger, "INTEGER", kCatInteger, Quote::None},
    {kAdNumeric, "NUMERIC", kCatOtherNumeric, Quote::None},
    {kAdSingle, "SINGLE", kCatOtherNumeric, Quote::None},
    {kAdSmallInt, "SMALLINT", kCatInteger, Quote::None},
    {kAdTinyInt, "TINYINT", kCatInteger, Quote::None},
    {kAdUnsignedBigInt, "UNSIGNEDBIGINT", kCatInteger, Quote::None},
    {kAdUnsignedInt, "UNSIGNEDINT", kCatInteger, Quote::None},
    {kAdUnsignedSmallInt, "UNSIGNEDSMALLINT", kCatInteger, Quote::None},
    {kAdUnsignedTinyInt, "UNSIGNEDTINYINT", kCatInteger, Quote::None},
    {kAdVarNumeric, "VARNUMERIC", kCatOtherNumeric, Quote::None},
    {kAdBSTR, "BSTR", kCatOtherNumeric, Quote::Text},
    {kAdChar, "CHAR", kCatString, Quote::Text},
    {kAdDate, "DATE", kCatDateTime, Quote::DateAccess},
    {kAdDBDate, "DATE", kCatDateTime, Quote::DateAccess},
    {kAdDBTime, "TIME", kCatDateTime, Quote::DateAccess},
    {kAdDBTimeStamp, "TIMESTAMP", kCatDateTime, Quote::DateAccess},
    {kAdLongVarChar, "LONGVARCHAR", kCatString, Quote::Text},
    {kAdLongVarWChar, "LONGVARWCHAR", kCatString, Quote::Text},
    {kAdVarChar, "VARCHAR", kCatString, Quote::Text},
    {kAdVarWChar, "VARWCHAR", kCatString, Quote::Text},
    {kAdWChar, "WCHAR", kCatString, Quote::Text},
    {kAdGUID, "GUID", kCatGuid, Quote::Text},
    {kAdLongVarBinary, "LONGVARBINARY", kCatBinary, Quote::Text},
    {kAdVarBinary, "VARBINARY", kCatBinary, Quote::Text},
    {kAdXml, "XML", kCatString, Quote::Text},
    {kAdTime2, "TIME", kCatDateTime, Quote::Text},
    {kAdDateTimeOffset, "DATETIMEOFFSET", kCatDateTime, Quote::Text},
    {kAdBinary, "", kCatBinary, Quote::Unsupported},
};

struct TimestampName {
    std::int32_t precision;
    std::string_view name;
};
constexpr TimestampName kTimestampNames[] = {
    {16, "SMALLDATETIME"},
    {23, "DATETIME"},
    {27, "DATETIME2"},
};

struct DaoTypeRow {
    std::int16_t daoType;
    DaoTypeMapping mapping;
};

constexpr DaoTypeRow kDaoTypes[] = {
    {1, {kAdBoolean, true, ""}},              // Boolean
    {2, {kAdUnsignedTinyInt, true, ""}},      // Byte
    {3, {kAdSmallInt, true, ""}},             // Integer
    {4, {kAdInteger, true, ""}},              // Long
    {5, {kAdCurrency, true, ""}},             // Currency
    {6, {kAdSingle, true, ""}},               // Single
    {7, {kAdDouble, true, ""}},               // Double
    {8, {kAdDBTimeStamp, true, "#"}},         // Date
    {9, {kAdBinary, false, std::nullopt}},    // Binary
    {10, {kAdVarWChar, true, "'"}},           // Text
    {11, {kAdLongVarBinary, true, ""}},       // LongBinary
    {12, {kAdLongVarWChar, true, "'"}},       // Memo
    {15, {kAdGUID, true, "'"}},               // GUID
    {16, {kAdBigInt, true, ""}},              // BigInt
    {18, {kAdChar, true, "'"}},               // Char
    {19, {kAdNumeric, true, ""}},             // Numeric
    {20, {kAdNumeric, true, ""}},             // Decimal
    {21, {kAdDouble, true, ""}},              // Float
    {22, {kAdDBTimeStamp, true, "#"}},        // Time
    {23, {kAdDBTimeStamp, true, "#"}},        // TimeStamp
};
constexpr DaoTypeMapping kUnmappedDaoType{-1, false, std::nullopt};

constexpr std::string_view kPgNativeTypes[] = {
    "int2", "int4", "int8", "float4", "float8", "numeric", "money", "date", "timestamp",
    "timestamptz", "time", "char", "bpchar", "varchar", "text", "bytea", "bool",
};

const AdoTypeRow* FindAdoType(std::int32_t type) {
    auto it = std::find_if(std::begin(kAdoTypes), std::end(kAdoTypes),
                           [type](const AdoTypeRow& row) { return row.code == type; });
    return it == std::end(kAdoTypes) ? nullptr : &*it;
}

}  // namespace

std::string AdoTypeName(std::int32_t type, std::int32_t precision) {
    if (type == kAdDBTimeStamp) {
        for (const TimestampName& entry : kTimestampNames)
            if (entry.precision == precision) return std::string(entry.name);
    }
    const AdoTypeRow* row = FindAdoType(type);
    return row ? std::string(row->name) : std::string();
}

bool AdoTypeSupported(std::int32_t type) {
    const AdoTypeRow* row = FindAdoType(type);
    return row && row->quote != Quote::Unsupported;
}

std::optional<std::string> AdoTypeQuote(std::int32_t type, std::int16_t databaseKind) {
    const AdoTypeRow* row = FindAdoType(type);
    if (!row) return std::nullopt;
    switch (row->quote) {
        case Quote::None: return std::string();
        case Quote::Text: return std::string("'");
        case Quote::DateAccess: return std::string(databaseKind == kDbAccess ? "#" : "'");
        case Quote::Unsupported: break;
    }
    return std::nullopt;
}

DaoTypeMapping MapDaoTypeCode(std::int32_t daoType) {
    for (const DaoTypeRow& row : kDaoTypes)
        if (row.daoType == daoType) return row.mapping;
    return kUnmappedDaoType;
}

std::int16_t FldTypeCategory(std::int32_t type) {
    const AdoTypeRow* row = FindAdoType(type);
    return row ? row->category : std::int16_t{kCatOtherNumeric};
}

bool IsNumericAdoType(std::int32_t type) {
    const AdoTypeRow* row = FindAdoType(type);
    return row && row->quote == Quote::None && row->category != kCatBoolean;
}

bool IsDateTimeAdoType(std::int32_t type) {
    const AdoTypeRow* row = FindAdoType(type);
    return row && row->category == kCatDateTime;
}

bool IsPgNativeType(std::string_view name) {
    std::string lower = ToLowerAscii(name);
    return std::find(std::begin(kPgNativeTypes), std::end(kPgNativeTypes), lower) != std::end(kPgNativeTypes);
}

std::string FldSrchOprs(std::int32_t ftype) {
    std::int16_t category = FldTypeCategory(ftype);
    std::string list = "USER SELECT\r\n=\r\n<>";
    if (category != kCatBoolean) list += "\r\n<\r\n<=\r\n>\r\n>=\r\nBETWEEN";
    if (category == kCatString) list += "\r\nLIKE\r\nNOT LIKE\r\nSTARTS WITH";
    return list;
}

std::int16_t DbKindOf(std::string_view dbmsName) {
    if (dbmsName == "MS Jet" || dbmsName == "ACCESS") return kDbAccess;
    if (ContainsNoCase(dbmsName, "Microsoft") && ContainsNoCase(dbmsName, "SQL")) return kDbSqlServer;
    if (ContainsNoCase(dbmsName, "MySQL")) return kDbMySql;
    if (ContainsNoCase(dbmsName, "ORA")) return kDbOracle;
    if (ContainsNoCase(dbmsName, "PostgreSql")) return kDbPostgreSql;
    if (ContainsNoCase(dbmsName, "SQLITE")) return kDbSqlite;
    return kDbOther;
}

void SetDbQuotes(std::string_view dbmsName) {
    EngineState& state = Engine();
    switch (DbKindOf(dbmsName)) {
        case kDbAccess:
        case kDbSqlServer: state.quoteStart = "["; state.quoteEnd = "]"; break;
        case kDbOracle:
        case kDbPostgreSql: state.quoteStart = state.quoteEnd = "\""; break;
        case kDbMySql:
        case kDbSqlite: state.quoteStart = state.quoteEnd = "`"; break;
        default: state.quoteStart.clear(); state.quoteEnd.clear(); break;
    }
}

std::string QuoteDbName(std::string_view id) {
    const EngineState& state = Engine();
    std::string quoted = state.quoteStart;
    quoted += state.quoteEnd.empty() ? std::string(id) : ReplaceAll(id, state.quoteEnd, state.quoteEnd + state.quoteEnd);
    quoted += state.quoteEnd;
    return quoted;
}

}  // namespace velmora
