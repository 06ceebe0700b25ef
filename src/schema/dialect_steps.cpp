// What SQL Server and Oracle tell only through their own system views. No such server runs on
// the build machines: the tests replay catalogue rows recorded from them.
#include <set>

#include "model/core/data_types.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "platform/regex.h"
#include "schema/load_steps.h"
#include "support/text.h"

namespace velmora {
namespace {

// A name inside a single-quoted SQL literal.
std::string SqlText(std::string_view name) { return ReplaceAll(name, "'", "''"); }

std::string FirstGroup(const char* pattern, std::string_view text) {
    RegExp expression;
    expression.SetPattern(pattern);
    expression.SetIgnoreCase(true);
    auto matches = expression.Execute(text);
    if (matches.empty() || matches.front().SubMatches.empty()) return {};
    std::string value = matches.front().SubMatches.front();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    return value;
}

std::string Value(const db::QueryRow& row, const std::string& column) {
    auto found = row.find(column);
    return found == row.end() ? std::string() : found->second.value_or(std::string());
}

// Runs a side query; a failure means no rows, as the server's views are only extra knowledge.
std::vector<db::QueryRow> QuietQuery(db::Catalogue& catalogue, const std::string& sql) {
    try {
        return catalogue.Query(sql);
    } catch (const db::CatalogueError&) {
        return {};
    }
}

}  // namespace

std::string OracleTriggerColumn(std::string_view body) {
    std::string column = FirstGroup(R"(INTO\s+:NEW\s*\.\s*("[^"]+"|[\w$#]+))", body);
    if (column.empty()) column = FirstGroup(R"(:NEW\s*\.\s*("[^"]+"|[\w$#]+)\s*:=)", body);
    return column;
}

std::string OracleTriggerSequence(std::string_view body) {
    return FirstGroup(R"(((?:"[^"]+"|[\w$#]+)(?:\s*\.\s*(?:"[^"]+"|[\w$#]+))?)\s*\.\s*NEXTVAL)", body);
}

void ApplyOracleSteps(AGPTable& table, db::Catalogue& catalogue, std::string_view schema) {
    auto fields = table.Fields();
    std::string owner = SqlText(schema);
    std::string name = SqlText(table.TblName());
    for (const db::QueryRow& row :
         QuietQuery(catalogue, "SELECT trigger_body FROM all_triggers WHERE owner='" + owner + "' AND table_name='" +
                                   name + "' AND triggering_event='INSERT' AND trigger_type='BEFORE EACH ROW' "
                                   "AND status='ENABLED'")) {
        std::string body = Value(row, "trigger_body");
        if (body.empty()) continue;
        auto field = fields->Find(Variant(OracleTriggerColumn(body)));
        if (!field) continue;
        field->SetFldAdd(false);
        field->SetFldAutoIncrement(true);
        field->SetFldDbDefault(Variant(OracleTriggerSequence(body)));
    }
    for (const db::QueryRow& row : QuietQuery(
             catalogue, "SELECT column_name, data_type, data_length, data_scale, data_precision, "
                        "CASE WHEN nullable = 'Y' THEN 'NULL' ELSE 'NOT NULL' END AS nulls, data_default "
                        "FROM all_tab_cols WHERE owner='" + owner + "' AND table_name='" + name +
                            "' ORDER BY column_id")) {
        if (auto field = fields->Find(Variant(Value(row, "column_name")))) field->SetFldTypeName(Value(row, "data_type"));
    }
}

void ApplySqlServerSteps(AGPTable& table, db::Catalogue& catalogue) {
    std::string name = SqlText(table.TblName());
    std::set<std::string> identities;
    for (const db::QueryRow& row :
         QuietQuery(catalogue, "SELECT c.name FROM syscolumns c JOIN systypes t ON t.xusertype=c.xusertype "
                               "JOIN sysobjects o ON o.id=c.id WHERE o.name='" + name +
                                   "' AND (c.autoval IS NOT NULL OR c.status & 128 = 128)")) {
        identities.insert(Value(row, "name"));
    }
    for (const auto& field : table.Fields()->Items()) {
        auto rows = QuietQuery(catalogue,
                               "SELECT t.table_name, c.column_name, c.data_type, c.is_nullable, c.column_default "
                               "FROM INFORMATION_SCHEMA.TABLES t, INFORMATION_SCHEMA.Columns c "
                               "WHERE t.table_name = c.table_name AND t.table_name = '" + name +
                                   "' AND c.column_name = '" + SqlText(field->FldName()) + "'");
        if (!rows.empty()) {
            bool required = ToLowerAscii(Trim(Value(rows.front(), "is_nullable"))) == "no";
            field->SetFldReq(required);
            field->SetFldRequired(required);
            if (field->FldType() == kAdGUID && field->FldIsPrimaryKey() &&
                Value(rows.front(), "column_default") == "(newid())") {
                field->SetFldAdd(false);
            }
        }
        bool identity = identities.contains(field->FldName());
        bool became = identity && !field->FldAutoIncrement();
        field->SetFldAutoIncrement(identity);
        if (became) field->LoadFldDefault();
    }
}

}  // namespace velmora
