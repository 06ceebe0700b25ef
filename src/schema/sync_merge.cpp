// Merging a fresh read of a table into the project's table, and repairing what referred to
// renamed or removed tables and fields.
#include <algorithm>
#include <array>

#include "model/project/agp.h"
#include "model/core/data_types.h"
#include "model/entities/database.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/master_details.h"
#include "model/core/property_bag.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "platform/prompter.h"
#include "schema/derived_steps.h"
#include "schema/sync_steps.h"
#include "support/text.h"

namespace velmora {
namespace {

// What the schema decides about a field; a changed field takes these and keeps the rest.
constexpr std::string_view kSchemaValues[] = {
    "FldType",          "FldTypeName",  "NativeDataType", "FldSize",   "FldUniqueIdx", "FldZeroLen", "FldReq",
    "FldAutoIncrement", "FldAttribute", "FldDbDefault",   "FldQuoteS", "FldQuoteE",    "FldSupport"};
constexpr std::string_view kIdentity[] = {"FldSeq", "FldName"};

bool HasValueList(std::int32_t nativeType) { return nativeType == 247 || nativeType == 248; }

void CopyValue(const AGPField& from, AGPField& to, std::string_view name) {
    AGProperties& target = *to.Properties();
    const AGProperties& source = *from.Properties();
    target.SetValueAt(target.IndexOf(name), source.ValueAt(source.IndexOf(name)));
}

// Asks whether to take the database's changed key; true to take it.
bool TakeNewKey(const AGPTable& table) {
    Question question{"primary-key",
                      "Primary key for \"" + table.TblName() + "\" has been modified. Keep/Update primary Key?",
                      {},
                      Buttons::Ok,
                      {{"keep", "Keep"}, {"update", "Update"}},
                      "keep"};
    return Ask(question).Is("update");
}

void MergeKey(SyncRun& run, AGPTable& table, const AGPTable& fresh, KeyRule keys) {
    std::string oldKey = SortKeyList(std::string_view(table.TblKey()));
    std::string newKey = SortKeyList(std::string_view(fresh.TblKey()));
    if (keys == KeyRule::Leave || oldKey == newKey) return;
    if (keys == KeyRule::Ask && !TakeNewKey(table)) return;
    for (const auto& field : table.Fields()->Items()) {
        auto source = fresh.Fields()->Find(Variant(field->FldName()));
        field->SetFldIsPrimaryKey(source && source->FldIsPrimaryKey());
    }
    table.SetTblKey(newKey);
    std::string message =
        "Changed key from " + ReplaceAll(oldKey, "\r\n", ",") + " to " + ReplaceAll(newKey, "\r\n", ",");
    table.SetTblSyncMessage(table.TblSyncMessage().empty() ? message : table.TblSyncMessage() + "\r\n" + message);
    LogChange(run, "C", table, nullptr, message, oldKey, newKey);
}

}  // namespace

bool FieldDiffers(const AGPField& field, const AGPField& schema) {
    bool sameType = field.NativeDataType() != 0 ? field.NativeDataType() == schema.NativeDataType()
                                                : field.FldType() == schema.FldType();
    if (!sameType || field.FldUniqueIdx() != schema.FldUniqueIdx() ||
        field.FldAutoIncrement() != schema.FldAutoIncrement() || field.FldSize() != schema.FldSize() ||
        field.FldAttribute() != schema.FldAttribute() ||
        field.FldDbDefault().ToText() != schema.FldDbDefault().ToText())
        return true;
    return HasValueList(schema.NativeDataType()) && field.FldTagValues() != schema.FldTagValues();
}

bool TableDiffers(const AGPTable& table, const AGPTable& fresh, bool compareKey) {
    if (!table.TblLoaded()) return false;
    if (compareKey && SortKeyList(std::string_view(table.TblKey())) != SortKeyList(std::string_view(fresh.TblKey())))
        return true;
    auto fields = table.Fields();
    std::int32_t own = 0;
    for (const auto& field : fields->Items()) own += field->FldIsCustom() ? 0 : 1;
    std::int32_t theirs = 0;
    for (const auto& field : fresh.Fields()->Items()) theirs += field->FldIsCustom() ? 0 : 1;
    if (own != theirs) return true;
    for (const auto& schema : fresh.Fields()->Items()) {
        auto field = fields->Find(Variant(schema->FldName()));
        if (!field || FieldDiffers(*field, *schema)) return true;
    }
    return false;
}

void LogChange(SyncRun& run, std::string action, const AGPTable& table, AGPField* field, std::string message,
               std::string oldValue, std::string newValue) {
    if (field) {
        field->SetFldSync(true);
        std::string previous = field->FldSyncMessage();
        field->SetFldSyncMessage(previous.empty() ? message : previous + "\r\n" + message);
    }
    run.log.push_back({std::move(action), field ? "Field" : "", table.TblName(), table.TblType(), std::move(message),
                       std::move(oldValue), std::move(newValue), field ? field->FldName() : std::string()});
}

void MergeFields(SyncRun& run, AGPTable& table, const AGPTable& fresh, KeyRule keys, const MergeWords& words) {
    auto fields = table.Fields();
    bool touched = false;
    std::shared_ptr<AGPField> previous;
    for (const auto& schema : fresh.Fields()->Items()) {
        auto field = fields->Find(Variant(schema->FldName()));
        if (!field) {
            fields->Add(table.TblName(), schema->FldName());
            field = fields->Find(Variant(schema->FldName()));
            CopyPropertyValues(*schema->Properties(), *field->Properties(), kIdentity, true);
            // At its place in the schema: behind the field the schema has before it.
            fields->MoveTo(schema->FldName(), previous ? previous->FldSeq() + 1 : 1);
            previous = field;
            LogChange(run, "A", table, field.get(), std::string(words.added));
            touched = true;
            continue;
        }
        previous = field;
        if (!FieldDiffers(*field, *schema)) {
            // Older projects lack these; they are filled in without counting as a change.
            if (field->NativeDataType() == 0) field->SetNativeDataType(schema->NativeDataType());
            if (field->FldTypeName().empty()) field->SetFldTypeName(schema->FldTypeName());
            continue;
        }
        std::int32_t oldNative = field->NativeDataType();
        std::int32_t oldSize = field->FldSize();
        std::string oldDefault = field->FldDbDefault().ToText();
        std::int16_t oldCategory = FldTypeCategory(field->FldType());
        for (std::string_view name : kSchemaValues) CopyValue(*schema, *field, name);
        if (HasValueList(schema->NativeDataType())) CopyValue(*schema, *field, "FldTagValues");
        std::vector<std::string> what;
        if (oldNative != field->NativeDataType()) {
            what.push_back(std::string(words.typeChanged) + std::to_string(oldNative) + " to " +
                           std::to_string(field->NativeDataType()));
        }
        if (oldSize != field->FldSize())
            what.push_back("Changed size from " + std::to_string(oldSize) + " to " + std::to_string(field->FldSize()));
        if (oldDefault != field->FldDbDefault().ToText())
            what.push_back("Changed default from " + oldDefault + " to " + field->FldDbDefault().ToText());
        if (what.empty()) what.push_back("Changed field definition");
        if (FldTypeCategory(field->FldType()) != oldCategory) field->LoadFldDataTypeDefault();
        for (const std::string& message : what) LogChange(run, "C", table, field.get(), message);
        touched = true;
    }
    for (const auto& field : fields->Items()) {
        if (field->FldIsCustom() || fresh.Fields()->FieldExist(Variant(field->FldName()))) continue;
        LogChange(run, "D", table, field.get(), "Delete field");
        run.removedFields[table.TblName()].insert(field->FldName());
        fields->Delete(table.TblName(), Variant(field->FldName()));
        touched = true;
    }
    MergeKey(run, table, fresh, keys);
    if (touched || !table.TblSyncMessage().empty()) table.SetTblSync(true);
}

void RenameField(SyncRun& run, AGPTable& table, const std::string& oldName, const std::string& newName) {
    auto fields = table.Fields();
    if (!fields->Change(table.TblName(), oldName, newName)) return;
    auto field = fields->Find(Variant(newName));
    field->SetFldName(newName);
    run.renamedFields[table.TblName()][oldName] = newName;
    LogChange(run, "C", table, field.get(), "Rename " + oldName + " to " + newName, oldName, newName);
    for (const auto& relation : run.project.MasterDetails()->Items()) {
        bool master = relation->MasterTable() == table.TblName();
        bool detail = relation->DetailTable() == table.TblName();
        if (!master && !detail) continue;
        std::vector<std::pair<std::string, std::string>> pairs;
        for (std::int16_t i = 1; i <= relation->FieldCount(); ++i)
            pairs.emplace_back(relation->MasterField(i), relation->DetailField(i));
        for (const auto& [m, d] : pairs) relation->DeleteRelation(m, d);
        for (auto [m, d] : pairs) {
            if (master && m == oldName) m = newName;
            if (detail && d == oldName) d = newName;
            relation->AddRelation(m, d);
        }
    }
}

void RenameTable(SyncRun& run, const std::string& oldName, const std::string& newName) {
    auto tables = run.project.DB()->Tables();
    if (!tables->Change(oldName, newName)) return;
    auto table = tables->Find(Variant(newName));
    table->SetTblName(newName);
    run.renamedTables[oldName] = newName;
    LogChange(run, "C", *table, nullptr, "Rename " + oldName + " to " + newName, oldName, newName);
    auto relations = run.project.MasterDetails();
    for (const auto& relation : relations->Items()) {
        if (relation->MasterTable() != oldName && relation->DetailTable() != oldName) continue;
        std::string master = relation->MasterTable() == oldName ? newName : relation->MasterTable();
        std::string detail = relation->DetailTable() == oldName ? newName : relation->DetailTable();
        relations->Delete(relation->MasterTable(), relation->DetailTable());
        relations->Add(master, detail);
        auto moved = relations->Item(master, detail);
        moved->SetEnforceReferentialIntegrity(relation->EnforceReferentialIntegrity());
        moved->SetCascadeUpdate(relation->CascadeUpdate());
        moved->SetCascadeDelete(relation->CascadeDelete());
        for (std::int16_t i = 1; i <= relation->FieldCount(); ++i)
            moved->AddRelation(relation->MasterField(i), relation->DetailField(i));
    }
}

void RepairRelations(SyncRun& run) {
    auto tables = run.project.DB()->Tables();
    auto relations = run.project.MasterDetails();
    auto hasField = [&](const std::string& table, const std::string& field) {
        auto found = tables->Find(Variant(table));
        return found && found->Fields()->FieldExist(Variant(field));
    };
    for (const auto& relation : relations->Items()) {
        bool tablesThere = tables->TableExist(Variant(relation->MasterTable())) &&
                           tables->TableExist(Variant(relation->DetailTable()));
        if (tablesThere) {
            std::vector<std::pair<std::string, std::string>> gone;
            for (std::int16_t i = 1; i <= relation->FieldCount(); ++i) {
                if (!hasField(relation->MasterTable(), relation->MasterField(i)) ||
                    !hasField(relation->DetailTable(), relation->DetailField(i)))
                    gone.emplace_back(relation->MasterField(i), relation->DetailField(i));
            }
            for (const auto& [m, d] : gone) relation->DeleteRelation(m, d);
            if (relation->FieldCount() > 0) continue;
        }
        relations->Delete(relation->MasterTable(), relation->DetailTable());
    }
}

void RepairFieldReferences(SyncRun& run) {
    auto tables = run.project.DB()->Tables();
    auto renamedIn = [&](const std::string& table, const std::string& field) -> std::string {
        auto found = run.renamedFields.find(table);
        if (found == run.renamedFields.end()) return {};
        auto pair = found->second.find(field);
        return pair == found->second.end() ? std::string() : pair->second;
    };
    auto existsIn = [&](const std::string& table, const std::string& field) {
        auto found = tables->Find(Variant(table));
        return found && found->Fields()->FieldExist(Variant(field));
    };
    struct LookupSetting {
        std::string_view name;
        std::string_view words;  // after "Rename lookup table " / "Clear lookup table "
        bool clearable;
    };
    static constexpr std::array kLookupFields{LookupSetting{"FldTagLnkFld", "link field", false},
                                              LookupSetting{"FldTagLnkDisplay", "display field", false},
                                              LookupSetting{"FldTagLnkDisp2", "display field 2", true},
                                              LookupSetting{"FldTagLnkOrderBy", "order by field", true},
                                              LookupSetting{"FldSelectFilterFld", "filter field", true}};
    static constexpr std::string_view kOwnFields[] = {"FileNameFld",     "FileTypeFld",    "FileSizeFld",
                                                      "ImageWidthFld",   "ImageHeightFld", "FldHrefFld",
                                                      "FldParentSelect", "FldTooltipFld"};
    for (const auto& table : tables->Items()) {
        if (!table->TblLoaded()) continue;
        for (const auto& field : table->Fields()->Items()) {
            AGProperties& bag = *field->Properties();
            auto text = [&](std::string_view name) { return bag.ValueAt(bag.IndexOf(name)).ToText(); };
            auto set = [&](std::string_view name, std::string value) {
                bag.SetValueAt(bag.IndexOf(name), Variant(value));
            };
            auto repair = [&](const std::string& message) { LogChange(run, "C", *table, field.get(), message); };

            std::string lookup = field->FldTagLnkTbl();
            if (!lookup.empty()) {
                if (auto renamed = run.renamedTables.find(lookup); renamed != run.renamedTables.end()) {
                    field->SetFldTagLnkTbl(renamed->second);
                    repair("Rename lookup table from " + lookup + " to " + renamed->second);
                    lookup = renamed->second;
                }
                bool lost = !tables->TableExist(Variant(lookup));
                for (const LookupSetting& setting : kLookupFields) {
                    std::string value = text(setting.name);
                    if (lost || value.empty()) continue;
                    if (std::string renamed = renamedIn(lookup, value); !renamed.empty()) {
                        set(setting.name, renamed);
                        repair("Rename lookup table " + std::string(setting.words) + " from " + value + " to " +
                               renamed);
                    } else if (!existsIn(lookup, value)) {
                        if (!setting.clearable) {
                            lost = true;
                            continue;
                        }
                        set(setting.name, "");
                        repair("Clear lookup table " + std::string(setting.words) + " " + value);
                    }
                }
                if (lost) {
                    field->SetFldTagLnkTbl("");
                    field->SetFldTagLnkFld("");
                    field->SetFldTagLnkDisplay("");
                    field->SetFldSelectType("Values");
                    field->SetFldHtmlTag("TEXT");
                    repair("Clear lookup table " + lookup);
                }
            }
            for (std::string_view name : kOwnFields) {
                std::string value = text(name);
                if (value.empty()) continue;
                if (std::string renamed = renamedIn(table->TblName(), value); !renamed.empty()) {
                    set(name, renamed);
                    repair("Rename " + std::string(name) + " field from " + value + " to " + renamed);
                } else if (!table->Fields()->FieldExist(Variant(value))) {
                    set(name, "");
                    repair("Clear " + std::string(name) + " field");
                }
            }
        }
    }
}

}  // namespace velmora
