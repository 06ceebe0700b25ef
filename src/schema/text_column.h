// A text column of a project table in the database that holds it (for a link table, its link
// database): the size the database declares for it, and widening it there. Reading a schema never
// changes a database; this is the one place that does, and only when asked to.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

class AGP;

// The size reported for a text column that has no declared limit (PostgreSQL text, long text).
inline constexpr std::int32_t kUnlimitedTextSize = std::numeric_limits<std::int32_t>::max();

class TextColumn {
public:
    virtual ~TextColumn() = default;
    // Whether the database holds values to the declared size. SQLite does not: a VARCHAR(50)
    // column stores text of any length there.
    virtual bool SizeEnforced() const = 0;
    // The declared size in characters, as "SELECT * FROM table WHERE 0=1" describes the column
    // (an Access file: the field size of its table definition); kUnlimitedTextSize for a column
    // without a limit. nullopt with `error` set when the column cannot be read.
    virtual std::optional<std::int32_t> DeclaredSize(std::string& error) = 0;
    // Makes the column a nullable text of `size` characters by the database's own ALTER
    // statement; false with the database's message in `error`.
    virtual bool Widen(std::int32_t size, std::string& error) = 0;
};

// The column `field` of the project table `table` (the name as the project knows it), reached
// through a connection of its own to the database, opened on first use and kept for the
// object's life. A table the project does not list is looked for in the main database.
std::unique_ptr<TextColumn> ProjectTextColumn(AGP& project, std::string_view table, std::string_view field);

// The statement that makes `field` of `table` (in `schema` when not empty) a nullable text of
// `size` characters in a database of `kind` (a DatabaseKind), identifiers quoted in its dialect.
// Kinds without a statement of their own get the SQL Server form.
std::string WidenColumnStatement(std::int16_t kind, std::string_view schema, std::string_view table,
                                 std::string_view field, std::int32_t size);

}  // namespace velmora
