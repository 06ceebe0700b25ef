#include "platform/db/access_query_columns.h"

#include <algorithm>
#include <map>

#include "support/text.h"

namespace velmora::db {
namespace {

constexpr int kSelectQuery = 1;
constexpr int kSelectStar = 0x1;
constexpr int kLeftJoin = 2;
constexpr int kRightJoin = 3;

// A column reference as Access writes it: "Col", "[Col]", "Tbl.Col", "[Tbl].[Col]", "Tbl.*" or
// "*". `column` is "*" for a star.
struct Reference {
    std::string source;
    std::string column;
};

// Characters that end an unbracketed name: the dot before a column, or an operator that makes
// the text an expression rather than a reference.
constexpr std::string_view kNameEnd = ". \t\r\n[]()+-*/\\&,;\"'<>=!#^?:";

std::optional<Reference> ParseReference(std::string_view text) {
    text = TrimView(text);
    std::vector<std::string> parts;
    bool starLast = false;
    std::size_t pos = 0;
    while (true) {
        if (pos >= text.size()) return std::nullopt;
        if (text[pos] == '[') {
            std::size_t close = text.find(']', pos + 1);
            if (close == std::string_view::npos || close == pos + 1) return std::nullopt;
            parts.emplace_back(text.substr(pos + 1, close - pos - 1));
            pos = close + 1;
        } else if (text[pos] == '*') {
            parts.emplace_back("*");
            starLast = true;
            ++pos;
        } else {
            std::size_t end = text.find_first_of(kNameEnd, pos);
            if (end == std::string_view::npos) end = text.size();
            if (end == pos) return std::nullopt;
            parts.emplace_back(text.substr(pos, end - pos));
            pos = end;
        }
        if (pos == text.size()) break;
        // Only a dot may follow a name, and nothing may follow a star.
        if (text[pos] != '.' || starLast) return std::nullopt;
        ++pos;
    }
    if (parts.size() > 2) return std::nullopt;
    if (parts.size() == 2) return Reference{parts[0], parts[1]};
    return Reference{std::string(), parts[0]};
}

struct Source {
    std::string name;  // the alias, or the table's or query's own name
    const std::vector<ColumnInfo>* columns;
    bool optional = false;  // the outer side of a join: its columns may come out NULL
};

struct Output {
    QueryColumn column;
    std::string qualifier;  // the source a duplicate name is told apart by
    bool aliased = false;
};

const Source* FindSource(const std::vector<Source>& sources, std::string_view name) {
    for (const Source& source : sources)
        if (EqualsNoCase(source.name, name)) return &source;
    return nullptr;
}

const ColumnInfo* FindColumn(const Source& source, std::string_view name) {
    for (const ColumnInfo& column : *source.columns)
        if (EqualsNoCase(column.name, name)) return &column;
    return nullptr;
}

Output FromSource(const Source& source, const ColumnInfo& column) {
    Output output;
    output.column.column = column;
    output.column.column.primaryKey = false;
    output.column.column.unique = false;
    if (source.optional) output.column.column.nullable = true;
    output.qualifier = source.name;
    return output;
}

void AddStar(const Source& source, std::vector<Output>& outputs) {
    for (const ColumnInfo& column : *source.columns) outputs.push_back(FromSource(source, column));
}

// One output row: a star or a column traced to exactly one source.
bool AddOutput(const AccessQueryRow& row, const std::vector<Source>& sources, std::vector<Output>& outputs) {
    std::optional<Reference> ref = ParseReference(row.expression);
    if (!ref) return false;
    if (ref->column == "*") {
        if (!row.name1.empty()) return false;
        if (ref->source.empty()) {
            for (const Source& source : sources) AddStar(source, outputs);
            return true;
        }
        const Source* source = FindSource(sources, ref->source);
        if (!source) return false;
        AddStar(*source, outputs);
        return true;
    }
    const Source* owner = nullptr;
    const ColumnInfo* found = nullptr;
    if (!ref->source.empty()) {
        owner = FindSource(sources, ref->source);
        if (owner) found = FindColumn(*owner, ref->column);
    } else {
        for (const Source& source : sources) {
            const ColumnInfo* column = FindColumn(source, ref->column);
            if (!column) continue;
            if (found) return false;  // ambiguous: Access refuses such a query too
            owner = &source;
            found = column;
        }
    }
    if (!found) return false;
    Output output = FromSource(*owner, *found);
    output.aliased = !row.name1.empty();
    if (output.aliased) output.column.column.name = row.name1;
    output.column.propertyKey = output.aliased ? row.name1 : row.expression;
    outputs.push_back(std::move(output));
    return true;
}

// Access names clashing outputs "Source.Column"; an alias is always kept as written.
void QualifyDuplicates(std::vector<Output>& outputs) {
    std::map<std::string, int> counts;
    for (const Output& output : outputs) ++counts[FoldCase(output.column.column.name)];
    for (Output& output : outputs) {
        if (output.aliased || counts[FoldCase(output.column.column.name)] < 2) continue;
        output.column.column.name = output.qualifier + "." + output.column.column.name;
    }
}

}  // namespace

std::optional<std::vector<QueryColumn>> ResolveQueryColumns(std::span<const AccessQueryRow> rows,
                                                            const QuerySourceLookup& lookup) {
    std::vector<Source> sources;
    std::vector<const AccessQueryRow*> outputRows;
    std::vector<std::string> optionalSources;
    bool selectStar = false;
    for (const AccessQueryRow& row : rows) {
        switch (static_cast<QueryPart>(row.attribute)) {
            case QueryPart::Type:
                if (row.flag != kSelectQuery) return std::nullopt;
                break;
            case QueryPart::Parameter: return std::nullopt;
            case QueryPart::Options: selectStar = (row.flag & kSelectStar) != 0; break;
            case QueryPart::Source: {
                if (!row.expression.empty() || row.name1.empty()) return std::nullopt;
                const std::vector<ColumnInfo>* columns = lookup(row.name1);
                if (!columns) return std::nullopt;
                sources.push_back({row.name2.empty() ? row.name1 : row.name2, columns});
                break;
            }
            case QueryPart::Output: outputRows.push_back(&row); break;
            case QueryPart::Join:
                if (row.flag == kLeftJoin) optionalSources.push_back(row.name2);
                if (row.flag == kRightJoin) optionalSources.push_back(row.name1);
                break;
            default: break;
        }
    }
    if (sources.empty()) return std::nullopt;
    for (Source& source : sources) {
        source.optional = std::any_of(optionalSources.begin(), optionalSources.end(),
                                      [&](const std::string& name) { return EqualsNoCase(name, source.name); });
    }

    std::vector<Output> outputs;
    if (selectStar) {
        for (const Source& source : sources) AddStar(source, outputs);
    }
    for (const AccessQueryRow* row : outputRows) {
        if (!AddOutput(*row, sources, outputs)) return std::nullopt;
    }
    if (outputs.empty()) return std::nullopt;
    QualifyDuplicates(outputs);

    std::vector<QueryColumn> columns;
    columns.reserve(outputs.size());
    for (Output& output : outputs) columns.push_back(std::move(output.column));
    return columns;
}

}  // namespace velmora::db
