// Identifier quoting and the loader-wide state shared by every schema load of the process: the
// current database product, its quote characters and the project settings cached at load time.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace velmora {

class AGP;

// The DBMS name, identifier quotes and SQLQuote setting of the load live in Engine(), since
// reading a project file sets them too.
struct LoaderState {
    // DynamicLoadDB as read by LoadDB / LoadDBMySQL.
    bool dynamicLoad = false;
    std::string oracleSchema;
};

LoaderState& Loader();

// The identifier quote for a server connection: "`", "\"", "" or "NA" (JDBC: none).
std::string ResolveSqlQuote(std::string_view dbType, std::string_view method);
// Caches SQLQuote, DefaultDateFormat, DynamicLoadDB from the project's settings.
void CacheProjectSettings(AGP& project);

// `id` between the quote characters of a dialect, end quotes inside it doubled; `id` as it is
// when the dialect has no quotes.
std::string QuoteIdentifier(std::string_view id, std::string_view quoteStart, std::string_view quoteEnd);

// The value of the first of `keys` (compared without regard to case) in a "key=value;..."
// connection string; empty when none is there.
std::string ConnectionStringValue(std::string_view connStr, std::initializer_list<std::string_view> keys);

}  // namespace velmora
