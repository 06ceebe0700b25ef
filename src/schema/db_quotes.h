// Identifier quoting and the loader-wide state shared by every schema load of the process: the
// current database product, its quote characters and the project settings cached at load time.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace velmora {

class AGP;

struct LoaderState {
    // "ACCESS", the ODBC driver's DBMS name, or the database type of a server connection.
    std::string dbmsName;
    std::string quoteStart;
    std::string quoteEnd;
    // Project settings read by LoadDB / LoadDBMySQL (DefaultDateFormat lives in Engine()).
    std::string sqlQuote;
    bool dynamicLoad = false;
    std::string oracleSchema;
};

LoaderState& Loader();

// Sets the quote pair for a DBMS name: "[" "]" for Access and SQL Server, '"' for Oracle and
// PostgreSQL, '`' for MySQL and SQLite, none otherwise.
void SetDbQuotes(std::string_view dbmsName);
// Start quote + id + end quote, with end quotes inside `id` doubled.
std::string QuoteDbName(std::string_view id);
// The identifier quote for a server connection: "`", "\"", "" or "NA" (JDBC: none).
std::string ResolveSqlQuote(std::string_view dbType, std::string_view method);
// Caches SQLQuote, DefaultDateFormat, DynamicLoadDB from the project's settings.
void CacheProjectSettings(AGP& project);

// The value of the first of `keys` (compared without regard to case) in a "key=value;..."
// connection string; empty when none is there.
std::string ConnectionStringValue(std::string_view connStr, std::initializer_list<std::string_view> keys);

}  // namespace velmora
