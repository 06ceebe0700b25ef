#include "schema/custom_sql.h"

#include <cctype>
#include <map>
#include <optional>
#include <span>

#include "model/core/data_types.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace {

enum class TokenKind { Word, Quoted, Literal, Symbol };

struct Token {
    TokenKind kind;
    std::string text;  // a quoted identifier without its quotes
    int depth;         // parentheses around the token
};

bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#' || c == '@' ||
           static_cast<unsigned char>(c) >= 0x80;
}

class Tokenizer {
public:
    Tokenizer(std::string_view sql, std::string_view quoteStart, std::string_view quoteEnd, bool doubleQuotedStrings)
        : sql_(sql), quoteStart_(quoteStart), quoteEnd_(quoteEnd), doubleQuotedStrings_(doubleQuotedStrings) {}

    std::vector<Token> Run() {
        std::vector<Token> tokens;
        int depth = 0;
        while (pos_ < sql_.size()) {
            char c = sql_[pos_];
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++pos_;
            } else if (sql_.substr(pos_, 2) == "--") {
                SkipPast("\n");
            } else if (sql_.substr(pos_, 2) == "/*") {
                SkipPast("*/");
            } else if (auto quoted = QuotedIdentifier()) {
                tokens.push_back({TokenKind::Quoted, std::move(*quoted), depth});
            } else if (c == '\'' || (c == '"' && doubleQuotedStrings_)) {
                std::string text = Delimited(std::string(1, c));
                tokens.push_back({TokenKind::Literal, std::move(text), depth});
            } else if (IsWordChar(c)) {
                std::size_t start = pos_;
                while (pos_ < sql_.size() && IsWordChar(sql_[pos_])) ++pos_;
                tokens.push_back({TokenKind::Word, std::string(sql_.substr(start, pos_ - start)), depth});
            } else {
                if (c == ')') depth = std::max(0, depth - 1);
                tokens.push_back({TokenKind::Symbol, std::string(1, c), depth});
                if (c == '(') ++depth;
                ++pos_;
            }
        }
        return tokens;
    }

private:
    void SkipPast(std::string_view end) {
        std::size_t found = sql_.find(end, pos_ + 2);
        pos_ = found == std::string_view::npos ? sql_.size() : found + end.size();
    }

    // Text up to the closing `end`, a doubled `end` standing for itself; the opening is at pos_.
    std::string Delimited(const std::string& end) {
        std::string text;
        ++pos_;
        while (pos_ < sql_.size()) {
            if (sql_.substr(pos_, end.size()) == end) {
                if (sql_.substr(pos_ + end.size(), end.size()) != end) {
                    pos_ += end.size();
                    return text;
                }
                pos_ += end.size();
            }
            text += sql_[pos_++];
        }
        return text;
    }

    std::optional<std::string> QuotedIdentifier() {
        char c = sql_[pos_];
        if (!quoteStart_.empty() && sql_.substr(pos_, quoteStart_.size()) == quoteStart_)
            return Delimited(std::string(quoteEnd_.empty() ? quoteStart_ : quoteEnd_));
        if (c == '"' && !doubleQuotedStrings_) return Delimited("\"");
        return std::nullopt;
    }

    std::string_view sql_;
    std::string_view quoteStart_;
    std::string_view quoteEnd_;
    bool doubleQuotedStrings_;
    std::size_t pos_ = 0;
};

bool IsKeyword(const Token& token, std::string_view word) {
    return token.kind == TokenKind::Word && EqualsNoCase(token.text, word);
}

bool IsName(const Token& token) { return token.kind == TokenKind::Word || token.kind == TokenKind::Quoted; }

bool IsSymbol(const Token& token, char symbol) {
    return token.kind == TokenKind::Symbol && token.text.size() == 1 && token.text[0] == symbol;
}

bool IsOneOf(const Token& token, std::span<const std::string_view> words) {
    if (token.kind != TokenKind::Word) return false;
    for (std::string_view word : words)
        if (EqualsNoCase(token.text, word)) return true;
    return false;
}

// Words that end the FROM clause.
bool EndsFromClause(const Token& token) {
    static constexpr std::string_view kWords[] = {"where",     "group",  "order",  "having", "limit", "union",
                                                  "intersect", "except", "window", "offset", "fetch", "for"};
    return IsOneOf(token, kWords);
}

// Words that end a table reference inside the FROM clause, or the clause itself; none is an alias.
bool IsClauseWord(const Token& token) {
    static constexpr std::string_view kJoinWords[] = {"on",   "using", "join",  "inner",  "left",
                                                      "right", "full", "outer", "cross", "natural"};
    return IsOneOf(token, kJoinWords) || EndsFromClause(token);
}

using TokenRange = std::vector<Token>;

// The expression as written: names joined by "." without blanks, other tokens by one blank.
std::string ExpressionText(const TokenRange& tokens) {
    std::string text;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        bool tight = i > 0 && (IsSymbol(tokens[i], '.') || IsSymbol(tokens[i - 1], '.') ||
                               IsSymbol(tokens[i], '(') || IsSymbol(tokens[i], ')') || IsSymbol(tokens[i - 1], '('));
        if (i > 0 && !tight) text += ' ';
        text += tokens[i].kind == TokenKind::Literal ? "'" + tokens[i].text + "'" : tokens[i].text;
    }
    return text;
}

// Splits tokens at depth-0 commas.
std::vector<TokenRange> SplitItems(const TokenRange& tokens, int depth) {
    std::vector<TokenRange> items(1);
    for (const Token& token : tokens) {
        if (token.depth == depth && IsSymbol(token, ',')) {
            items.emplace_back();
            continue;
        }
        items.back().push_back(token);
    }
    if (items.back().empty()) items.pop_back();
    return items;
}

// Alias (or table name when there is none) to the real table name of every table reference in
// the FROM clause; a subquery's alias maps to "".
std::map<std::string, std::string> FromTables(const TokenRange& from, int depth, std::vector<std::string>& order) {
    std::map<std::string, std::string> tables;
    std::size_t i = 0;
    while (i < from.size()) {
        const Token& token = from[i];
        if (token.depth != depth || !IsName(token) || IsClauseWord(token)) {
            // Join conditions and everything nested are skipped up to the next reference.
            if (IsKeyword(token, "on") || IsKeyword(token, "using")) {
                while (i < from.size() && !(from[i].depth == depth && (IsSymbol(from[i], ',') || IsKeyword(from[i], "join"))))
                    ++i;
                continue;
            }
            if (token.depth == depth && IsSymbol(token, '(')) {
                // A subquery or a parenthesised join: only its alias is known.
                ++i;
                while (i < from.size() && from[i].depth > depth) ++i;
                if (i < from.size() && IsSymbol(from[i], ')')) ++i;
                if (i < from.size() && IsKeyword(from[i], "as")) ++i;
                if (i < from.size() && IsName(from[i]) && !IsClauseWord(from[i])) tables[FoldCase(from[i++].text)] = "";
                continue;
            }
            ++i;
            continue;
        }
        std::string name = token.text;
        ++i;
        while (i + 1 < from.size() && IsSymbol(from[i], '.') && IsName(from[i + 1])) {
            name = from[i + 1].text;  // schema.table: the table
            i += 2;
        }
        std::string alias = name;
        if (i < from.size() && IsKeyword(from[i], "as")) ++i;
        if (i < from.size() && from[i].depth == depth && IsName(from[i]) && !IsClauseWord(from[i])) alias = from[i++].text;
        tables[FoldCase(alias)] = name;
        if (FoldCase(alias) != FoldCase(name)) tables.emplace(FoldCase(name), name);
        order.push_back(name);
    }
    return tables;
}

// The parts of `name`, `qualifier.name`, `schema.qualifier.name` (or the same ending in "*");
// empty when the item is anything else.
std::vector<std::string> ReferenceParts(const TokenRange& item) {
    std::vector<std::string> parts;
    if (item.size() % 2 == 0) return {};
    for (std::size_t i = 0; i < item.size(); ++i) {
        const Token& token = item[i];
        if (i % 2 == 1) {
            if (!IsSymbol(token, '.')) return {};
            continue;
        }
        bool last = i + 1 == item.size();
        if (token.kind == TokenKind::Quoted || (last && IsSymbol(token, '*'))) {
            parts.push_back(token.text);
        } else if (token.kind == TokenKind::Word && !std::isdigit(static_cast<unsigned char>(token.text[0])) &&
                   !EqualsNoCase(token.text, "null") && !EqualsNoCase(token.text, "true") &&
                   !EqualsNoCase(token.text, "false")) {
            parts.push_back(token.text);
        } else {
            return {};
        }
    }
    return parts;
}

SelectSource DescribeItem(TokenRange item, const std::map<std::string, std::string>& tables,
                          const std::vector<std::string>& order) {
    SelectSource source;
    // An alias is the last name, after AS or directly after a complete expression.
    if (item.size() >= 2 && IsName(item.back()) && !IsSymbol(item[item.size() - 2], '.')) {
        const Token& before = item[item.size() - 2];
        bool afterAs = IsKeyword(before, "as");
        bool afterOperand = IsName(before) || IsSymbol(before, ')') || before.kind == TokenKind::Literal;
        if (afterAs || afterOperand) {
            source.outputName = item.back().text;
            item.pop_back();
            if (afterAs) item.pop_back();
        }
    }
    source.expression = ExpressionText(item);
    std::vector<std::string> parts = ReferenceParts(item);
    if (parts.empty()) return source;
    std::string table;
    if (parts.size() >= 2) {
        auto found = tables.find(FoldCase(parts[parts.size() - 2]));
        table = found == tables.end() ? parts[parts.size() - 2] : found->second;
    } else if (order.size() == 1) {
        table = order.front();
    }
    if (parts.back() == "*") {
        source.star = true;
        if (!table.empty()) source.candidates = {table};
        else source.candidates = order;
        return source;
    }
    if (source.outputName.empty()) source.outputName = parts.back();
    if (!table.empty()) {
        source.table = table;
        source.field = parts.back();
    }
    return source;
}

}  // namespace

std::vector<SelectSource> ParseSelectSources(std::string_view sql, std::string_view quoteStart,
                                             std::string_view quoteEnd, bool doubleQuotedStrings) {
    std::vector<Token> tokens = Tokenizer(sql, quoteStart, quoteEnd, doubleQuotedStrings).Run();
    std::size_t select = 0;
    while (select < tokens.size() && !IsKeyword(tokens[select], "select")) ++select;
    if (select == tokens.size()) return {};
    const int depth = tokens[select].depth;
    std::size_t i = select + 1;
    // Set quantifiers and row limits before the list.
    while (i < tokens.size()) {
        if (IsKeyword(tokens[i], "distinct") || IsKeyword(tokens[i], "all") || IsKeyword(tokens[i], "distinctrow")) {
            ++i;
        } else if (IsKeyword(tokens[i], "top")) {
            ++i;
            if (i < tokens.size() && IsSymbol(tokens[i], '(')) {
                while (i < tokens.size() && !(IsSymbol(tokens[i], ')') && tokens[i].depth == depth)) ++i;
            }
            ++i;
            if (i < tokens.size() && IsKeyword(tokens[i], "percent")) ++i;
        } else {
            break;
        }
    }
    TokenRange list, from;
    for (; i < tokens.size() && !(tokens[i].depth == depth && IsKeyword(tokens[i], "from")); ++i) list.push_back(tokens[i]);
    for (++i; i < tokens.size(); ++i) {
        if (tokens[i].depth < depth) break;
        if (tokens[i].depth == depth && (IsSymbol(tokens[i], ';') || EndsFromClause(tokens[i]))) break;
        from.push_back(tokens[i]);
    }
    std::vector<std::string> order;
    std::map<std::string, std::string> tables = FromTables(from, depth, order);
    std::vector<SelectSource> sources;
    for (TokenRange& item : SplitItems(list, depth)) sources.push_back(DescribeItem(std::move(item), tables, order));
    return sources;
}

void ParseCustomSql(AGPTable& table, const AGPTables& tables) {
    const EngineState& engine = Engine();
    std::vector<SelectSource> sources = ParseSelectSources(table.TblCustomSQL(), engine.quoteStart, engine.quoteEnd,
                                                           DbKindOf(engine.dbmsName) == kDbMySql);
    for (const auto& field : table.Fields()->Items()) {
        const SelectSource* named = nullptr;
        for (const SelectSource& source : sources)
            if (!source.star && EqualsNoCase(source.outputName, field->FldName())) named = named ? named : &source;
        SelectSource found;
        if (named) {
            found = *named;
        } else {
            // A column of a "*" item: the first of its tables that has a field of that name.
            for (const SelectSource& source : sources) {
                if (!source.star || !found.field.empty()) continue;
                for (const std::string& name : source.candidates) {
                    auto candidate = tables.Find(Variant(name));
                    if (candidate && candidate.get() != &table && candidate->Fields()->FieldExist(Variant(field->FldName()))) {
                        found.table = candidate->TblName();
                        found.field = field->FldName();
                        break;
                    }
                }
            }
        }
        field->SetFldSourceName(found.field.empty() ? found.expression : found.table + "." + found.field);
        field->SetFldSourceTable(found.table);
        field->SetFldSourceField(found.field);
    }
}

}  // namespace velmora
