// The single objects: bag entries, menu items, relations, controls and their sessions,
// generation items, application settings, the phrase store with its records, the code base,
// the keyword list, the string builder and the script host.
#include <memory>
#include <optional>
#include <utility>

#include "model/project/agp.h"
#include "model/project/app_settings.h"
#include "model/project/code_base.h"
#include "model/controls/controls.h"
#include "model/project/keyword.h"
#include "model/project/language.h"
#include "model/entities/master_details.h"
#include "model/project/menus.h"
#include "model/core/property_bag.h"
#include "template/bind_helpers.h"
#include "template/script_host.h"
#include "template/string_builder.h"

namespace velmora::bind {
namespace {

// A copy of a phrase record, as the phrase store's item members hand it out.
template <class Record>
class RecordObject : public AutomationObject {
public:
    explicit RecordObject(Record record) : record_(std::move(record)) {}
    const Record& record() const { return record_; }

private:
    Record record_;
};

template <class Record>
std::shared_ptr<RecordObject<Record>> RecordOf(const std::optional<Record>& record) {
    return record ? std::make_shared<RecordObject<Record>>(*record) : nullptr;
}

// The read-only fields of a phrase record class.
template <class Record, class... Fields>
void BindRecord(ClassMap& classes, std::string name, std::pair<const char*, Fields>... fields) {
    ClassBuilder<RecordObject<Record>> builder(classes, std::move(name));
    (builder.Get(fields.first, [member = fields.second](RecordObject<Record>& object) -> const std::string& {
        return object.record().*member;
    }), ...);
}

void BindPropertyEntry(ClassMap& classes) {
    ClassBuilder<AGProperty>(classes, "AGProperty")
        .GetSet("Key", &AGProperty::Key, &AGProperty::SetKey)
        .GetSet("Name", &AGProperty::Name, &AGProperty::SetName)
        .GetSet("DataType", &AGProperty::DataType, &AGProperty::SetDataType)
        .GetSet("Value", &AGProperty::Value, &AGProperty::SetValue)
        .GetSet("RegSave", &AGProperty::RegSave, &AGProperty::SetRegSave)
        .GetSet("RegFormat", &AGProperty::RegFormat, &AGProperty::SetRegFormat)
        .GetSet("FileSave", &AGProperty::FileSave, &AGProperty::SetFileSave)
        .GetSet("Sync", &AGProperty::Sync, &AGProperty::SetSync);
}

void BindMenuAndRelation(ClassMap& classes) {
    ClassBuilder<AGPMenu> menu(classes, "AGPMenu");
#define VELMORA_BIND_MENU_ATTRIBUTE(member, attribute, type) \
    menu.GetSet(#member, &AGPMenu::member, &AGPMenu::Set##member);
    VELMORA_MENU_ATTRIBUTES(VELMORA_BIND_MENU_ATTRIBUTE)
#undef VELMORA_BIND_MENU_ATTRIBUTE
    menu.Method("MenuAttExist", &AGPMenu::MenuAttExist).Method("MenuAtt", &AGPMenu::MenuAtt);

    ClassBuilder<AGPMasterDetail>(classes, "AGPMasterDetail")
        .GetSet("Seq", &AGPMasterDetail::Seq, &AGPMasterDetail::SetSeq)
        .GetSet("MasterTable", &AGPMasterDetail::MasterTable, &AGPMasterDetail::SetMasterTable)
        .GetSet("DetailTable", &AGPMasterDetail::DetailTable, &AGPMasterDetail::SetDetailTable)
        .GetSet("EnforceReferentialIntegrity", &AGPMasterDetail::EnforceReferentialIntegrity,
                &AGPMasterDetail::SetEnforceReferentialIntegrity)
        .GetSet("CascadeUpdate", &AGPMasterDetail::CascadeUpdate, &AGPMasterDetail::SetCascadeUpdate)
        .GetSet("CascadeDelete", &AGPMasterDetail::CascadeDelete, &AGPMasterDetail::SetCascadeDelete)
        .Get("FieldCount", &AGPMasterDetail::FieldCount)
        .Method("MasterField", &AGPMasterDetail::MasterField)
        .Method("DetailField", &AGPMasterDetail::DetailField)
        .GetSet("CurrentField", &AGPMasterDetail::CurrentField, &AGPMasterDetail::SetCurrentField)
        .Get("CurrentMasterField", &AGPMasterDetail::CurrentMasterField)
        .Get("CurrentDetailField", &AGPMasterDetail::CurrentDetailField)
        .Method("AddRelation", &AGPMasterDetail::AddRelation)
        .Method("DeleteRelation", &AGPMasterDetail::DeleteRelation);
}

void BindControls(ClassMap& classes) {
    ClassBuilder<AGPControl>(classes, "AGPControl")
        .Get("Sessions", &AGPControl::Sessions)
        .Field("CtrlID", &AGPControl::CtrlID)
        .Field("CtrlType", &AGPControl::CtrlType)
        .Field("CtrlOFile", &AGPControl::CtrlOFile)
        .Field("CtrlOExt", &AGPControl::CtrlOExt)
        .Field("CtrlOFolder", &AGPControl::CtrlOFolder)
        .Field("CtrlOFolderID", &AGPControl::CtrlOFolderID)
        .Field("CtrlIFiles", &AGPControl::CtrlIFiles)
        .Field("CtrlIFolder", &AGPControl::CtrlIFolder)
        .Field("CtrlCond", &AGPControl::CtrlCond)
        .Field("CtrlTagExt", &AGPControl::CtrlTagExt)
        .Field("CtrlParm", &AGPControl::CtrlParm)
        .Field("CtrlSpace", &AGPControl::CtrlSpace)
        .Field("CtrlGen", &AGPControl::CtrlGen)
        .Get("CtrlHasHeaderFooter", &AGPControl::CtrlHasHeaderFooter)
        .Field("CtrlSkipHeaderFooter", &AGPControl::CtrlSkipHeaderFooter)
        .Field("CtrlExt", &AGPControl::CtrlExt)
        .Field("CtrlAction", &AGPControl::CtrlAction)
        .Field("CtrlOverwrite", &AGPControl::CtrlOverwrite)
        .Field("CtrlRemark", &AGPControl::CtrlRemark);

    ClassBuilder<AGPSession>(classes, "AGPSession")
        .Field("SessType", &AGPSession::SessType)
        .Field("SessValue", &AGPSession::SessValue)
        .Field("SessParm", &AGPSession::SessParm)
        .Field("SessIFile", &AGPSession::SessIFile)
        .Field("SessCond", &AGPSession::SessCond)
        .Field("SessExt", &AGPSession::SessExt)
        .Field("SessAction", &AGPSession::SessAction)
        .Field("SessLocation", &AGPSession::SessLocation)
        .Field("SessLocType", &AGPSession::SessLocType);

    ClassBuilder<AGControlItem>(classes, "AGControlItem")
        .Field("Key", &AGControlItem::Key)
        .Field("ItemId", &AGControlItem::ItemId)
        .Field("ItemFn", &AGControlItem::ItemFn)
        .Field("ItemGen", &AGControlItem::ItemGen)
        .Field("ItemHasHeaderFooter", &AGControlItem::ItemHasHeaderFooter)
        .Field("ItemSkipHeaderFooter", &AGControlItem::ItemSkipHeaderFooter)
        .Field("ItemRemark", &AGControlItem::ItemRemark)
        .Field("ItemDest", &AGControlItem::ItemDest);

    ClassBuilder<AGPAppSetting>(classes, "AGPAppSetting")
        .Field("AppSettingID", &AGPAppSetting::AppSettingID)
        .Field("AppSettingName", &AGPAppSetting::AppSettingName)
        .Field("AppSettingType", &AGPAppSetting::AppSettingType)
        .Field("AppSettingValues", &AGPAppSetting::AppSettingValues)
        .Field("AppSettingDefaultValue", &AGPAppSetting::AppSettingDefaultValue)
        .Field("AppSettingTemplate", &AGPAppSetting::AppSettingTemplate)
        .Field("AppSettingFunction", &AGPAppSetting::AppSettingFunction);
}

void BindLanguage(ClassMap& classes) {
    using L = AGPLanguage;
    ClassBuilder<L>(classes, "AGPLanguage")
        .Method("GetFileId", &L::GetFileId)
        .Method("GetFileDesc", &L::GetFileDesc)
        .Method("ResetFiles", &L::ResetFiles)
        .Method("SaveCheckPoint", &L::SaveCheckPoint)
        .Method("RestoreCheckPoint", &L::RestoreCheckPoint)
        .Get("ProjectCount", &L::ProjectCount)
        .Method("ProjectItem", 1, [](L& l, const Args& a) { return RecordOf(l.ProjectItem(a.As<std::int32_t>(0))); })
        .Method("GetProjectPhrase", &L::GetProjectPhrase)
        .Method("SetProjectPhrase", &L::SetProjectPhrase)
        .Method("HasProjectPhrase", &L::HasProjectPhrase)
        .Method("ResetProjectPhrase", &L::ResetProjectPhrase)
        .Get("MenuCount", &L::MenuCount)
        .Method("MenuItem", 1, [](L& l, const Args& a) { return RecordOf(l.MenuItem(a.As<std::int32_t>(0))); })
        .Method("GetMenuPhrase", &L::GetMenuPhrase)
        .Method("SetMenuPhrase", &L::SetMenuPhrase)
        .Method("HasMenuPhrase", &L::HasMenuPhrase)
        .Method("ResetMenuPhrase", &L::ResetMenuPhrase)
        .Method("DeleteMenuPhrase", &L::DeleteMenuPhrase)
        .Get("TableCount", &L::TableCount)
        .Method("TableItem", 1, [](L& l, const Args& a) { return RecordOf(l.TableItem(a.As<std::int32_t>(0))); })
        .Method("RenameTable", &L::RenameTable)
        .Method("GetTablePhrase", &L::GetTablePhrase)
        .Method("SetTablePhrase", &L::SetTablePhrase)
        .Method("HasTablePhrase", &L::HasTablePhrase)
        .Method("ResetTablePhrase", &L::ResetTablePhrase)
        .Method("DeleteTablePhrase", &L::DeleteTablePhrase)
        .Get("FieldCount", &L::FieldCount)
        .Method("FieldItem", 1, [](L& l, const Args& a) { return RecordOf(l.FieldItem(a.As<std::int32_t>(0))); })
        .Method("RenameField", &L::RenameField)
        .Method("GetFieldPhrase", &L::GetFieldPhrase)
        .Method("SetFieldPhrase", &L::SetFieldPhrase)
        .Method("HasFieldPhrase", &L::HasFieldPhrase)
        .Method("ResetFieldPhrase", &L::ResetFieldPhrase)
        .Method("DeleteFieldPhrase", &L::DeleteFieldPhrase)
        .GetSet("curIndex", &L::curIndex, &L::SetcurIndex)
        .Get("Count", &L::Count)
        .Method("Phrase", &L::Phrase)
        .Method("AddPhrase", &L::AddPhrase)
        .Method("ReplacePhrase", &L::ReplacePhrase)
        .Method("Load", &L::Load)
        .Method("LoadExtension", &L::LoadExtension)
        .Method("InitSettings", &L::InitSettings);

    BindRecord<AGProjectPhrase>(classes, "AGProjectPhrase", std::pair{"LanguageId", &AGProjectPhrase::LanguageId},
                                std::pair{"ProjectAttribute", &AGProjectPhrase::ProjectAttribute},
                                std::pair{"Phrase", &AGProjectPhrase::Phrase});
    BindRecord<AGMenuPhrase>(classes, "AGMenuPhrase", std::pair{"LanguageId", &AGMenuPhrase::LanguageId},
                             std::pair{"MenuId", &AGMenuPhrase::MenuId},
                             std::pair{"MenuAttribute", &AGMenuPhrase::MenuAttribute},
                             std::pair{"Phrase", &AGMenuPhrase::Phrase});
    BindRecord<AGTablePhrase>(classes, "AGTablePhrase", std::pair{"LanguageId", &AGTablePhrase::LanguageId},
                              std::pair{"TableName", &AGTablePhrase::TableName},
                              std::pair{"TableAttribute", &AGTablePhrase::TableAttribute},
                              std::pair{"Phrase", &AGTablePhrase::Phrase});
    BindRecord<AGFieldPhrase>(classes, "AGFieldPhrase", std::pair{"LanguageId", &AGFieldPhrase::LanguageId},
                              std::pair{"TableName", &AGFieldPhrase::TableName},
                              std::pair{"FieldName", &AGFieldPhrase::FieldName},
                              std::pair{"FieldAttribute", &AGFieldPhrase::FieldAttribute},
                              std::pair{"Phrase", &AGFieldPhrase::Phrase});
}

void BindLibraries(ClassMap& classes) {
    ClassBuilder<AGPCodeBase>(classes, "AGPCodeBase")
        .Get("curIndex", &AGPCodeBase::curIndex)
        .Get("Count", &AGPCodeBase::Count)
        .Method("CodeExist", &AGPCodeBase::CodeExist)
        .Method("CodeSource", &AGPCodeBase::CodeSource)
        .Method("Load", &AGPCodeBase::Load);

    ClassBuilder<AGPKeyword>(classes, "AGPKeyword")
        .Get("curIndex", &AGPKeyword::curIndex)
        .Get("Count", &AGPKeyword::Count)
        .Method("IsKeyword", &AGPKeyword::IsKeyword)
        .Method("Load", &AGPKeyword::Load);

    ClassBuilder<AGPStringBuilder>(classes, "AGPStringBuilder")
        .Method("Clear", &AGPStringBuilder::Clear)
        .Method("Append", &AGPStringBuilder::Append)
        .Method("ToString", &AGPStringBuilder::ToString);
}

void BindScriptHost(ClassMap& classes) {
    // Initialize takes the project's collections after it, as the host has always passed them;
    // the project reaches them itself.
    constexpr std::size_t kInitializeArgs = 8;
    ClassBuilder<AGScript>(classes, "AGScript")
        .Method("Initialize", kInitializeArgs,
                [](AGScript& script, const Args& args) { script.Initialize(args.As<std::shared_ptr<AGP>>(0)); })
        .Method("Language", &AGScript::Language)
        .Method("IsInitialized", &AGScript::IsInitialized)
        .Method("Reset", &AGScript::Reset)
        .Method("AddTemplateScript", &AGScript::AddTemplateScript)
        .Method("AddUserCode", &AGScript::AddUserCode)
        .Method("ModuleExist", &AGScript::ModuleExist)
        .Method("UserModuleExist", &AGScript::UserModuleExist)
        .Method("Validate", &AGScript::Validate)
        .Method("RunModule", &AGScript::RunModule)
        .Method("BuildNewCode", &AGScript::BuildNewCode);

    ClassBuilder<AGUserScript>(classes, "AGUserScript")
        .Method("AddUserModule", &AGUserScript::AddUserModule)
        .Method("UserModuleExist", &AGUserScript::UserModuleExist);
}

}  // namespace

void BindMisc(ClassMap& classes) {
    BindPropertyEntry(classes);
    BindMenuAndRelation(classes);
    BindControls(classes);
    BindLanguage(classes);
    BindLibraries(classes);
    BindScriptHost(classes);
}

}  // namespace velmora::bind
