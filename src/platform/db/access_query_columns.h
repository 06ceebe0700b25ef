// Saved Access queries as the file stores them (rows of MSysQueries), and the columns a select
// query returns. Nothing here evaluates expressions: a query's columns are known only when every
// output is a plain column of a table or query it reads, or a star over them.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/catalogue.h"

namespace velmora::db {

// What a row of MSysQueries describes (its "Attribute" column).
enum class QueryPart : int {
    Type = 1,        // flag: 1 select, others change data or are crosstabs, unions, pass-throughs
    Parameter = 2,   // name1: the parameter's name
    Options = 3,     // flag: 1 SELECT *, 2 DISTINCT, 8 DISTINCTROW, 16 TOP ...
    Source = 5,      // name1: table or query, name2: alias, expression: a nested SELECT
    Output = 6,      // expression, name1: alias
    Join = 7,        // name1, name2: the joined sources; flag: 1 inner, 2 left, 3 right join
};

struct AccessQueryRow {
    int attribute = 0;
    int flag = 0;
    std::string name1;
    std::string name2;
    std::string expression;
};

struct QueryColumn {
    ColumnInfo column;
    // How the query's own field properties name this output (alias or expression); empty for
    // the columns a star brings in.
    std::string propertyKey;
};

// The columns of a table or another query, looked up without regard to case; nullptr when there
// is no such source or its columns cannot be determined.
using QuerySourceLookup = std::function<const std::vector<ColumnInfo>*(std::string_view name)>;

// The columns of a select query in output order; nullopt when the query is no plain select, asks
// for parameters, reads a nested SELECT, or computes any output. Columns keep the source
// column's type, size, caption and default, but no key or uniqueness; those from the optional
// side of an outer join may be NULL.
std::optional<std::vector<QueryColumn>> ResolveQueryColumns(std::span<const AccessQueryRow> rows,
                                                            const QuerySourceLookup& lookup);

}  // namespace velmora::db
