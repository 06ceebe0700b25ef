// The root object as scripts see it (PROJ).
#include <initializer_list>
#include <memory>
#include <string>

#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "model/project/custom_scripts.h"
#include "model/entities/databases.h"
#include "model/project/engine_objects.h"
#include "model/extensions/extensions.h"
#include "model/project/language.h"
#include "model/entities/master_details.h"
#include "model/project/menus.h"
#include "persistence/project_reader.h"
#include "persistence/project_writer.h"
#include "schema/derived_tables.h"
#include "schema/schema_load.h"
#include "schema/schema_sync.h"
#include "template/bind_helpers.h"
#include "template/file_cache.h"
#include "support/engine_state.h"
#include "support/status.h"
#include "template/script_bindings.h"
#include "template/script_host.h"
#include "template/script_xml.h"

namespace velmora::bind {

namespace {

LoadDbArgs LoadDbArgsFrom(const Args& args) {
    return {args.Text(0), args.Text(1), args.Text(2), args.Text(3), args.As<bool>(4),
            args.Text(5), args.Text(6), args.Text(7), args.Text(8)};
}

// sDbType, sHost, sPort, sUID, sPwd, sSID, sMethod, sUrl, sEncoding, after sDbName when `withName`.
ServerDbArgs ServerDbArgsFrom(const Args& args, bool withName) {
    ServerDbArgs server;
    std::size_t index = 0;
    if (withName) server.sDbName = args.Text(index++);
    for (std::string* field : {&server.sDbType, &server.sHost, &server.sPort, &server.sUID, &server.sPwd,
                               &server.sSID, &server.sMethod, &server.sUrl, &server.sEncoding}) {
        *field = args.Text(index++);
    }
    return server;
}

// sDbName, sDbType, sPath, sPhyPath, bDBUseServerMapPath, sConnStr, sSchema, sHost, sPort, sUID,
// sPwd, sSID, sMethod, sUrl, sEncoding, from argument `first` on.
LinkDbArgs LinkDbArgsFrom(const Args& args, std::size_t first) {
    LinkDbArgs link;
    std::size_t index = first;
    for (std::string* field : {&link.sDbName, &link.sDbType, &link.sPath, &link.sPhyPath}) *field = args.Text(index++);
    link.bDBUseServerMapPath = args.As<bool>(index++);
    for (std::string* field : {&link.sConnStr, &link.sSchema, &link.sHost, &link.sPort, &link.sUID, &link.sPwd,
                               &link.sSID, &link.sMethod, &link.sUrl, &link.sEncoding}) {
        *field = args.Text(index++);
    }
    return link;
}

}  // namespace

void BindProject(ClassMap& classes) {
    using Bound = AGP;
    ClassBuilder<AGP> builder(classes, "AGP");
    builder.Get("ProjInit", &AGP::ProjInit)
        .Get("ControlList", &AGP::ControlList)
        .Get("Controls", &AGP::Controls)
        .Get("DB", &AGP::DB)
        .Get("LINKDBS", &AGP::LINKDBS)
        .Get("MenuList", [](AGP&) { return SharedMenuList(); })
        .Get("DBCnt", &AGP::DBCnt)
        .Get("Properties", &AGP::Properties)
        .Method("GetV", &AGP::GetV)
        .Method("SetV", &AGP::SetV)
        .Get("Extensions", &AGP::Extensions)
        .Get("Language", [](AGP&) { return SharedLanguage(); })
        .Get("CodeBase", [](AGP&) { return SharedCodeBase(); })
        .Get("customscripts", [](AGP&) { return SharedCustomScripts(); })
        .Get("MasterDetails", &AGP::MasterDetails)
        .GetSet("hwnd", &AGP::hwnd, &AGP::Sethwnd)
        .GetSet("ProjErr", &AGP::ProjErr, &AGP::SetProjErr)
        .GetSet("ProjErrDb", &AGP::ProjErrDb, &AGP::SetProjErrDb);

#define VELMORA_PROPERTY VELMORA_BIND_PROPERTY
#include "model/core/project_properties.def"

    builder.Method("ReadRegValue", &AGP::ReadRegValue)
        .Method("AddTrace", &AGP::AddTrace)
        .Method("AddProj", &AGP::AddProj)
        .Method("DeleteProj", &AGP::DeleteProj)
        .Method("AddViewTemplateExtension", &AGP::AddViewTemplateExtension)
        .Method("AddExtension", &AGP::AddExtension)
        .Method("GetExtDefault", &AGP::GetExtDefault)
        .Method("SetExtProjAtt", &AGP::SetExtProjAtt)
        .Method("GetExtProjAtt", &AGP::GetExtProjAtt)
        .Method("SetExtDbAtt", &AGP::SetExtDbAtt)
        .Method("GetExtDbAtt", &AGP::GetExtDbAtt)
        .Method("SetExtTblAtt", &AGP::SetExtTblAtt)
        .Method("GetExtTblAtt", &AGP::GetExtTblAtt)
        .Method("SetExtFldAtt", &AGP::SetExtFldAtt)
        .Method("GetExtFldAtt", &AGP::GetExtFldAtt)
        .Method("AddExtendedField", 4,
                [](AGP& project, const Args& args) {
                    auto node = args.As<std::shared_ptr<ScriptXmlNode>>(3);
                    return project.AddExtendedField(args.Text(0), args.Text(1), args.Text(2),
                                                    node ? node->Node() : XmlNode());
                })
        .Method("DeleteExtension", &AGP::DeleteExtension)
        .Method("AddMasterDetail", &AGP::AddMasterDetail)
        .Method("AddMasterDetailRelation", &AGP::AddMasterDetailRelation)
        .Method("DeleteMasterDetail", &AGP::DeleteMasterDetail)
        .Method("DeleteMasterDetailRelation", &AGP::DeleteMasterDetailRelation)
        .Method("AddCustomScript", &AGP::AddCustomScript)
        .Method("UpdateCustomScript", &AGP::UpdateCustomScript)
        .Method("DeleteCustomScript", &AGP::DeleteCustomScript)
        .Method("LoadCodeBase", &AGP::LoadCodeBase)
        .Method("CodeBaseExist", &AGP::CodeBaseExist)
        .Method("LoadCustomScriptCode", &AGP::LoadCustomScriptCode)
        .Method("LoadDB", 9, [](AGP& project, const Args& args) { return LoadDB(project, LoadDbArgsFrom(args)); })
        .Method("LoadLinkDB", 15,
                [](AGP& project, const Args& args) { return LoadLinkDB(project, LinkDbArgsFrom(args, 0)); })
        .Method("SyncLinkDB", 16,
                [](AGP& project, const Args& args) {
                    return SyncLinkDB(project, args.Text(0), LinkDbArgsFrom(args, 1));
                })
        .Method("UnloadLinkDB", 1, [](AGP& project, const Args& args) { return UnloadLinkDB(project, args.Text(0)); })
        .Method("LoadLinkTable", 3,
                [](AGP& project, const Args& args) {
                    return LoadLinkTable(project, args.Text(0), args.Text(1), args.Text(2));
                })
        .Method("LoadCustomField", 3,
                [](AGP& project, const Args& args) {
                    return LoadCustomField(project, args.Text(0), args.Text(1), args.Text(2));
                })
        .Method("ChangeCustomField", 3,
                [](AGP& project, const Args& args) {
                    return ChangeCustomField(project, args.Text(0), args.Text(1), args.Text(2));
                })
        .Method("UnloadCustomField", 2,
                [](AGP& project, const Args& args) { return UnloadCustomField(project, args.Text(0), args.Text(1)); })
        .Method("LoadTable", 1, [](AGP& project, const Args& args) { return LoadTable(project, args.Text(0)); })
        .Method("UnLoadTable", 1, [](AGP& project, const Args& args) { return UnLoadTable(project, args.Text(0)); })
        .Method("CustomViewConnStr", 0, [](AGP& project, const Args&) { return CustomViewConnStr(project); })
        .Method("JVMLoaded", 0, [](AGP&, const Args&) { return JVMLoaded(); })
        .Method("LoadDatabaseNames", 9,
                [](AGP& project, const Args& args) {
                    return LoadDatabaseNames(project, ServerDbArgsFrom(args, false));
                })
        .Method("LoadDBMySQL", 10,
                [](AGP& project, const Args& args) { return LoadDBMySQL(project, ServerDbArgsFrom(args, true)); })
        .Method("LoadTableMySQL", 1,
                [](AGP& project, const Args& args) { return LoadTableMySQL(project, args.Text(0)); })
        .Method("LoadCustomView", 3,
                [](AGP& project, const Args& args) {
                    return LoadCustomView(project, args.Text(0), args.Text(1), args.As<bool>(2));
                })
        .Method("LoadView", 3,
                [](AGP& project, const Args& args) {
                    return LoadView(project, args.Text(0), args.Text(1), args.As<bool>(2));
                })
        .Method("ChangeCustomViewToView", 2,
                [](AGP& project, const Args& args) {
                    return ChangeCustomViewToView(project, args.Text(0), args.Text(1));
                })
        .Method("CopyTableSettings", 2,
                [](AGP& project, const Args& args) { return CopyTableSettings(project, args.Text(0), args.Text(1)); })
        .Method("CopyFieldSettings", 4,
                [](AGP& project, const Args& args) {
                    return CopyFieldSettings(project, args.Text(0), args.Text(1), args.Text(2), args.Text(3));
                })
        .Method("LoadReport", 2,
                [](AGP& project, const Args& args) { return LoadReport(project, args.Text(0), args.Text(1)); })
        .Method("UnLoadDB", 0,
                [](AGP& project, const Args&) {
                    UnLoadDB(project);
                    return Variant();
                })
        .Method("CheckDB", 0, [](AGP& project, const Args&) { return CheckDB(project); })
        .Method("CheckTable", 1, [](AGP& project, const Args& args) { return CheckTable(project, args.Text(0)); })
        .Method("SynchronizeDB", 1,
                [](AGP& project, const Args& args) { return SynchronizeDB(project, args.As<bool>(0)); })
        .Method("SyncTable", 1, [](AGP& project, const Args& args) { return SyncTable(project, args.Text(0)); })
        .Method("SyncCustom", 1, [](AGP& project, const Args& args) { return SyncCustom(project, args.Text(0)); })
        .Method("SyncLinkTable", 1,
                [](AGP& project, const Args& args) { return SyncLinkTable(project, args.Text(0)); })
        .Method("SyncReport", 1, [](AGP& project, const Args& args) { return SyncReport(project, args.Text(0)); })
        .Method("Save", 1, [](AGP& project, const Args& args) { return Save(project, args.Text(0)); })
        .Method("SaveLanguagePhrasesToFile", &AGP::SaveLanguagePhrasesToFile)
        .Method("LoadLanguagePhrasesFromFile", &AGP::LoadLanguagePhrasesFromFile)
        .Method("IsDirty", &AGP::IsDirty)
        .Method("Load", 2,
                [](AGP& project, const Args& args) { return Load(project, args.Text(0), args.As<bool>(1)); })
        .Method("LoadMenuFromProj", 1,
                [](AGP& project, const Args& args) { return LoadMenuFromProj(project, args.Text(0)); })
        .Method("LoadMenuFromXml", 1,
                [](AGP& project, const Args& args) { return LoadMenuFromXml(project, args.Text(0)); })
        .Method("SaveMenuToXml", 1, [](AGP&, const Args& args) { return SaveMenuToXml(args.Text(0)); })
        .Method("LoadDefault", &AGP::LoadDefault)
        .Method("SaveDefault", &AGP::SaveDefault)
        .Method("ParseScript", 1,
                [](AGP& project, const Args& args) {
                    std::string text = args.Text(0);
                    // Objects scripts hold are owned by shared_ptr; any other has no script host.
                    auto shared = std::static_pointer_cast<AGP>(project.weak_from_this().lock());
                    return shared ? ParseScript(shared, text) : text;
                })
        .Method("ListIncludedFiles", 1, [](AGP&, const Args& args) { return ListIncludedFiles(args.Text(0)); })
        .Method("FldSrchOprs", &AGP::FldSrchOprs)
        .Method("GenScript", 0,
                [](AGP& project, const Args&) {
                    auto shared = std::static_pointer_cast<AGP>(project.weak_from_this().lock());
                    const auto& members = CurrentGenerationMembers();
                    if (shared && members.genScript) members.genScript(shared);
                    else Fail(ProductMessage("Generation is not available to this host."));
                    return Variant();
                })
        .Method("GenCheck", 0,
                [](AGP& project, const Args&) {
                    auto shared = std::static_pointer_cast<AGP>(project.weak_from_this().lock());
                    const auto& members = CurrentGenerationMembers();
                    if (shared && members.genCheck) return members.genCheck(shared);
                    Fail(ProductMessage("Generation is not available to this host."));
                    return std::int32_t{0};
                })
        .Method("BringToFront", 0,
                [](AGP&, const Args&) {
                    CurrentStatusSink()->BringToFront();
                    return Variant();
                })
        .Method("GenSummary", 0,
                [](AGP&, const Args&) {
                    const auto& members = CurrentGenerationMembers();
                    return members.summary ? members.summary() : std::string();
                })
        .Method("EvaluateCondition", &AGP::EvaluateCondition);
}

}  // namespace velmora::bind
