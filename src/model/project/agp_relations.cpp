// The root object's members for master/detail relations and custom scripts.
#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "model/project/custom_scripts.h"
#include "model/entities/database.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "model/project/engine_objects.h"
#include "model/entities/master_details.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace {

bool AllGiven(std::initializer_list<std::string_view> names) {
    for (std::string_view name : names)
        if (name.empty()) return false;
    return true;
}

// The relation between two tables for a field-pair operation; nullptr (with ProjErr set) when an
// argument is empty or the tables have no relation.
std::shared_ptr<AGPMasterDetail> ExistingRelation(AGPMasterDetails& relations, std::string_view masterTable,
                                                  std::string_view detailTable, std::string_view masterField,
                                                  std::string_view detailField) {
    if (!AllGiven({masterTable, detailTable, masterField, detailField})) {
        Fail(ProductMessage("Master table, detail table and both fields must not be empty."));
        return nullptr;
    }
    auto relation = relations.Item(masterTable, detailTable);
    if (!relation)
        Fail(ProductMessage("Master/detail relation '" + MasterDetailKey(masterTable, detailTable) + "' does not exist."));
    return relation;
}

}  // namespace

std::shared_ptr<AGPMasterDetails> AGP::MasterDetails() {
    if (!masterDetails_) masterDetails_ = std::make_shared<AGPMasterDetails>();
    return masterDetails_;
}

bool AGP::AddMasterDetail(std::string_view sMasterTable, std::string_view sDetailTable) {
    return MasterDetails()->Add(sMasterTable, sDetailTable);
}

bool AGP::AddMasterDetailRelation(std::string_view sMasterTable, std::string_view sDetailTable,
                                  std::string_view sMasterField, std::string_view sDetailField) {
    auto relation = ExistingRelation(*MasterDetails(), sMasterTable, sDetailTable, sMasterField, sDetailField);
    return relation && relation->AddRelation(sMasterField, sDetailField);
}

bool AGP::DeleteMasterDetail(std::string_view sMasterTable, std::string_view sDetailTable) {
    return MasterDetails()->Delete(sMasterTable, sDetailTable);
}

bool AGP::DeleteMasterDetailRelation(std::string_view sMasterTable, std::string_view sDetailTable,
                                     std::string_view sMasterField, std::string_view sDetailField) {
    auto relation = ExistingRelation(*MasterDetails(), sMasterTable, sDetailTable, sMasterField, sDetailField);
    return relation && relation->DeleteRelation(sMasterField, sDetailField);
}

bool AGP::AddCustomScript(std::string_view sScriptType, std::string_view sCodeType, std::string_view sName,
                          std::string_view sCtrlID, std::string_view sL1Key, std::string_view sL2Key,
                          std::string_view sCode) {
    AGPCustomScripts& scripts = CustomScripts();
    if (!scripts.Add(sScriptType, sCodeType, sName, sCtrlID, sL1Key, sL2Key)) return false;
    scripts.ScriptItem(sScriptType, sCodeType, sName, sCtrlID, sL1Key, sL2Key)->SetScriptCode(std::string(sCode));
    return true;
}

bool AGP::UpdateCustomScript(std::string_view sScriptType, std::string_view sCodeType, std::string_view sName,
                             std::string_view sCtrlID, std::string_view sL1Key, std::string_view sL2Key,
                             std::string_view sCode) {
    std::shared_ptr<AGPCustomScript> script =
        CustomScripts().ScriptItem(sScriptType, sCodeType, sName, sCtrlID, sL1Key, sL2Key);
    if (!script)
        return Fail(ProductMessage("Custom script '" +
                                   CustomScriptKey({std::string(sScriptType), std::string(sCodeType),
                                                    std::string(sName), std::string(sCtrlID), std::string(sL1Key),
                                                    std::string(sL2Key)}) +
                                   "' does not exist."));
    // The code is saved in the project file although not as an attribute, so a change must
    // mark the project dirty by hand.
    if (script->ScriptCode() != sCode) Engine().projectDirty = true;
    script->SetScriptCode(std::string(sCode));
    return true;
}

bool AGP::DeleteCustomScript(std::string_view sScriptType, std::string_view sCodeType, std::string_view sName,
                             std::string_view sCtrlID, std::string_view sL1Key, std::string_view sL2Key) {
    return CustomScripts().Delete(sScriptType, sCodeType, sName, sCtrlID, sL1Key, sL2Key);
}

std::string AGP::LoadCustomScriptCode(std::string_view sScriptType, std::string_view sCodeType,
                                      std::string_view sName, std::string_view sCtrlID, std::string_view sL1Key,
                                      std::string_view sL2Key) const {
    bool codeBase = EqualsNoCase(sScriptType, "CodeBase");
    if (!codeBase) {
        // Code for a page belongs to a control of the template, and a table's or a field's code
        // to a table or field the project has.
        if (!controls_ || !controls_->ControlExist(sCtrlID)) return {};
        bool forTable = EqualsNoCase(sScriptType, "table");
        bool forField = EqualsNoCase(sScriptType, "field");
        if (forTable || forField) {
            auto tables = DB() ? DB()->Tables() : nullptr;
            if (!tables || !tables->TableExist(Variant(std::string(sL1Key)))) return {};
            if (forField && !tables->Item(Variant(std::string(sL1Key)))->Fields()->FieldExist(Variant(std::string(sL2Key))))
                return {};
        }
    }
    if (auto script = CustomScripts().ScriptItem(sScriptType, sCodeType, sName, sCtrlID, sL1Key, sL2Key))
        return script->ScriptCode();
    if (codeBase) return CodeBase().CodeSource(sScriptType, sCodeType, sName);
    return {};
}

}  // namespace velmora
