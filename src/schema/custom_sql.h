// Where the columns of a custom view's SELECT statement come from: for each output column, the
// table and column it is taken from when it is a plain column reference.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class AGPTable;
class AGPTables;

// One item of the select list. `star` items ("*", "t.*") stand for columns not listed by name.
struct SelectSource {
    std::string outputName;  // alias or column name; empty for an unnamed expression
    std::string expression;  // the item as written, identifier quotes removed
    std::string table;       // the real table name (aliases resolved); empty for other items
    std::string field;       // the column; empty for other items
    bool star = false;
    // For star items: the tables whose columns it stands for, in FROM order.
    std::vector<std::string> candidates;
};

// The select list of the first SELECT in `sql`. Identifiers may be quoted with `quoteStart` /
// `quoteEnd` (doubled end quotes inside), and always with double quotes unless those are the
// database's string quotes (`doubleQuotedStrings`). Comments and string literals are skipped.
std::vector<SelectSource> ParseSelectSources(std::string_view sql, std::string_view quoteStart,
                                             std::string_view quoteEnd, bool doubleQuotedStrings);

// Records FldSourceName ("table.field", or the expression as written), FldSourceTable and
// FldSourceField of every field of a custom view from its TblCustomSQL, with the engine's
// identifier quotes. A field taken directly from a table column gets that table and column; any
// other field gets neither. Columns that come from "*" are matched to the first of its tables in
// `tables` that holds a field of that name.
void ParseCustomSql(AGPTable& table, const AGPTables& tables);

}  // namespace velmora
