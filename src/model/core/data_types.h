// Field data types: every field carries its type as an ADO data type code, whatever route the
// schema came from. These tables name the codes, say which ones the generator handles and how
// their literals are quoted in SQL, and sort them into the categories behind search operators.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// Kinds of database; the current one is engine-wide state (Engine().databaseKind).
enum DatabaseKind : std::int16_t {
    kDbUnknown = 0,
    kDbAccess = 1,
    kDbSqlServer = 2,
    kDbMySql = 3,
    kDbOracle = 4,
    kDbPostgreSql = 5,
    kDbSqlite = 6,
    kDbOther = 99,
};

// "MS Jet" or "ACCESS" 1; searched without regard to case: Microsoft + SQL 2, MySQL 3, ORA 4,
// PostgreSql 5, SQLITE 6; anything else 99.
std::int16_t DbKindOf(std::string_view dbmsName);
// Sets the engine-wide quote pair for a DBMS name: "[" "]" for Access and SQL Server, '"' for
// Oracle and PostgreSQL, '`' for MySQL and SQLite, none otherwise.
void SetDbQuotes(std::string_view dbmsName);
// Start quote + id + end quote, with end quotes inside `id` doubled.
std::string QuoteDbName(std::string_view id);

// ADO data type codes the model refers to by name.
enum AdoType : std::int16_t {
    kAdSmallInt = 2,
    kAdInteger = 3,
    kAdSingle = 4,
    kAdDouble = 5,
    kAdCurrency = 6,
    kAdDate = 7,
    kAdBSTR = 8,
    kAdBoolean = 11,
    kAdDecimal = 14,
    kAdTinyInt = 16,
    kAdUnsignedTinyInt = 17,
    kAdUnsignedSmallInt = 18,
    kAdUnsignedInt = 19,
    kAdBigInt = 20,
    kAdUnsignedBigInt = 21,
    kAdGUID = 72,
    kAdBinary = 128,
    kAdChar = 129,
    kAdWChar = 130,
    kAdNumeric = 131,
    kAdDBDate = 133,
    kAdDBTime = 134,
    kAdDBTimeStamp = 135,
    kAdVarNumeric = 139,
    kAdXml = 141,
    kAdTime2 = 145,
    kAdDateTimeOffset = 146,
    kAdVarChar = 200,
    kAdLongVarChar = 201,
    kAdVarWChar = 202,
    kAdLongVarWChar = 203,
    kAdVarBinary = 204,
    kAdLongVarBinary = 205,
};

// Search-operator categories of the codes.
enum FldCategory : std::int16_t {
    kCatInteger = 1,
    kCatDateTime = 2,
    kCatString = 3,
    kCatBoolean = 4,
    kCatGuid = 5,
    kCatBinary = 6,
    kCatOtherNumeric = 7,
};

// Upper-case type name of a code; empty for a code the engine does not know. Only 135 looks at
// the precision (16 SMALLDATETIME, 23 DATETIME, 27 DATETIME2, otherwise TIMESTAMP).
std::string AdoTypeName(std::int32_t type, std::int32_t precision);

// Whether the generator handles fields of that code.
bool AdoTypeSupported(std::int32_t type);

// The text around a literal of that code in SQL for a database of the given kind: "" for
// numbers and Booleans, "'" for text, "#" for Access dates; nullopt for an unsupported code.
std::optional<std::string> AdoTypeQuote(std::int32_t type, std::int16_t databaseKind);

struct DaoTypeMapping {
    std::int16_t adoType;  // -1 when the DAO type has no counterpart
    bool supported;
    std::optional<std::string_view> quote;  // nullopt: the field's quotes stay as they are
};

// The ADO counterpart of a DAO field type (VarBinary and unknown types give -1, unsupported).
DaoTypeMapping MapDaoTypeCode(std::int32_t daoType);

// Category 1 to 7; codes outside every list fall in category 7.
std::int16_t FldTypeCategory(std::int32_t type);

// Numbers of every kind (categories 1 and 7 without the unknown codes).
bool IsNumericAdoType(std::int32_t type);
// Date and time codes (category 2).
bool IsDateTimeAdoType(std::int32_t type);

// PostgreSQL types the engine reads; compared without regard to case.
bool IsPgNativeType(std::string_view name);

// "USER SELECT" and the search operators of the type's category, separated by CR LF.
std::string FldSrchOprs(std::int32_t ftype);

}  // namespace velmora
