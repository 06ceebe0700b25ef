// AGP: the root object of the engine. It stands for the open project: the project properties,
// and every other model object reached from it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "model/controls/condition.h"
#include "model/core/property_bag.h"
#include "model/core/property_def.h"
#include "support/variant.h"

namespace velmora {

class AGPDatabase;
class AGPDatabases;
class AGPControls;
class AGControlItems;
class AGPExtensions;
class AGPMasterDetails;
class XmlNode;
class AGPSettings;

// The project properties' declarations, in registration order.
PropertyTable ProjectProperties();

// Turns a name into an identifier for generated code: reserved words get a trailing "_", blanks
// and full stops become "_", other characters outside [0-9A-Za-z_] become their code in
// hexadecimal, and a leading character that is not a letter or "_" gets "_" in front.
std::string MakeVarName(std::string_view text, std::string_view prefix = {});

class AGP : public AutomationObject {
public:
    AGP();
    ~AGP() override;
    AGP(const AGP&) = delete;
    AGP& operator=(const AGP&) = delete;

    std::shared_ptr<AGProperties> Properties() const { return properties_; }
    bool ProjInit() const { return projInit_; }
    std::int32_t hwnd() const { return hwnd_; }
    void Sethwnd(std::int32_t handle) { hwnd_ = handle; }
    std::string ProjErr() const;
    void SetProjErr(std::string text);
    std::string ProjErrDb() const;
    void SetProjErrDb(std::string text);

    Variant GetV(std::string_view name);
    Variant SetV(std::string_view name, const Variant& value);

    // One typed get/set pair per project property.
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> accessor() const;                                             \
    void Set##accessor(const PropValue<PropType::type>& value);
#include "model/core/project_properties.def"

    void AddProj(std::string_view projName);
    void DeleteProj();
    void LoadDefault();
    void SaveDefault();
    Variant ReadRegValue(const Variant& sClass, const Variant& sSection, const Variant& sKey) const;
    void AddTrace(std::string_view text);
    bool IsDirty() const;
    std::string LoadCodeBase(std::string_view scriptType, std::string_view codeType, std::string_view name) const;
    bool CodeBaseExist(std::string_view scriptType, std::string_view codeType, std::string_view name) const;

    // The main database; nullptr until a database is loaded.
    std::shared_ptr<AGPDatabase> DB() const;
    // Adds a main database under `name` (its path, its connection string or "ODBC") to the
    // database list, or takes the one already listed under it, and makes it DB with DBID "DB"
    // and `name` as the current database name. nullptr for an empty name.
    std::shared_ptr<AGPDatabase> AddMainDatabase(std::string_view name);
    // Forgets the main database (after a failed load): no DB, no current database name. The
    // caller removes the entry from the database list.
    void DropMainDatabase();
    // Every main database loaded into the project; DBCnt is their count.
    std::shared_ptr<AGPDatabases> Databases();
    std::int16_t DBCnt() const;
    // The linked databases; created on first access.
    std::shared_ptr<AGPDatabases> LINKDBS();
    const std::string& CurrentDatabaseName() const { return currentDatabaseName_; }
    // The search operators offered for a field type, one per line.
    std::string FldSrchOprs(std::int16_t ftype) const;

    // The project's master/detail relations, created on first access.
    std::shared_ptr<AGPMasterDetails> MasterDetails();
    bool AddMasterDetail(std::string_view sMasterTable, std::string_view sDetailTable);
    bool AddMasterDetailRelation(std::string_view sMasterTable, std::string_view sDetailTable,
                                 std::string_view sMasterField, std::string_view sDetailField);
    bool DeleteMasterDetail(std::string_view sMasterTable, std::string_view sDetailTable);
    bool DeleteMasterDetailRelation(std::string_view sMasterTable, std::string_view sDetailTable,
                                    std::string_view sMasterField, std::string_view sDetailField);

    // Custom scripts of the engine-wide list (model/custom_scripts.h).
    bool AddCustomScript(std::string_view sScriptType, std::string_view sCodeType, std::string_view sName,
                         std::string_view sCtrlID, std::string_view sL1Key, std::string_view sL2Key,
                         std::string_view sCode);
    bool UpdateCustomScript(std::string_view sScriptType, std::string_view sCodeType, std::string_view sName,
                            std::string_view sCtrlID, std::string_view sL1Key, std::string_view sL2Key,
                            std::string_view sCode);
    bool DeleteCustomScript(std::string_view sScriptType, std::string_view sCodeType, std::string_view sName,
                            std::string_view sCtrlID, std::string_view sL1Key, std::string_view sL2Key);
    // The stored script's code; without one, a "CodeBase" script's code comes from the code base.
    std::string LoadCustomScriptCode(std::string_view sScriptType, std::string_view sCodeType,
                                     std::string_view sName, std::string_view sCtrlID, std::string_view sL1Key,
                                     std::string_view sL2Key) const;

    // The project's translations in a phrase file of their own.
    bool SaveLanguagePhrasesToFile(std::string_view fileName);
    bool LoadLanguagePhrasesFromFile(std::string_view fileName);
    // Appends the phrase elements of the translations whose objects the project still has (a
    // menu item of MenuList, a table or field of DB), as a project file or phrase file holds them.
    void WriteLanguagePhrases(XmlNode parent) const;

    // Extension operations on an unknown extension, table, field or setting return false (Get*:
    // an empty value) and leave one of these texts, after the product name, in ProjErr:
    //   Extension '<ext>' does not exist.
    //   Table '<tbl>' does not exist.            Field '<fld>' of table '<tbl>' does not exist.
    //   Extension '<ext>' has no settings for the database.
    //   Extension '<ext>' has no settings for table '<tbl>'.
    //   Extension '<ext>' has no settings for field '<fld>' of table '<tbl>'.
    //   Extension '<ext>' has no setting '<att>'.
    // The project's extensions (one list per process).
    std::shared_ptr<AGPExtensions> Extensions() const;
    // Adds an enabled extension found in the SourceFolder (else SourceFolder2) folder and makes
    // its settings for the project, the database, the loaded tables and their fields. A
    // definition file that is not found or does not load leaves the extension without settings
    // and its reason in ProjErr; the result is still true.
    bool AddExtension(std::string_view sName, std::string_view sTemplate, std::string_view sXmlFile);
    // The same for a view-template extension of the CustomViewTagsFolder folder.
    bool AddViewTemplateExtension(std::string_view sName, std::string_view sTemplate, std::string_view sXmlFile);
    // The default of a setting, read from the extension's definition file; empty when missing.
    Variant GetExtDefault(std::string_view sExtName, std::string_view sNodeType, std::string_view sAttName);
    bool SetExtProjAtt(std::string_view sExtName, std::string_view sAttName, const Variant& val);
    Variant GetExtProjAtt(std::string_view sExtName, std::string_view sAttName);
    bool SetExtDbAtt(std::string_view sExtName, std::string_view sAttName, const Variant& val);
    Variant GetExtDbAtt(std::string_view sExtName, std::string_view sAttName);
    bool SetExtTblAtt(std::string_view sExtName, std::string_view sTblName, std::string_view sAttName,
                      const Variant& val);
    Variant GetExtTblAtt(std::string_view sExtName, std::string_view sTblName, std::string_view sAttName);
    bool SetExtFldAtt(std::string_view sExtName, std::string_view sTblName, std::string_view sFldName,
                      std::string_view sAttName, const Variant& val);
    Variant GetExtFldAtt(std::string_view sExtName, std::string_view sTblName, std::string_view sFldName,
                         std::string_view sAttName);
    // Makes the field current and, when the node's condition holds, gives the field the node's
    // settings in the extension; false (ProjErr untouched) when the condition does not hold.
    bool AddExtendedField(std::string_view sExtName, std::string_view sTblName, std::string_view sFldName,
                          const XmlNode& fldnode);
    bool DeleteExtension(std::string_view sName);
    // Gives every enabled extension the settings its definition declares for the project, its
    // database and each loaded table and field that lacks them; existing settings keep their values.
    void AlignExtensions();

    // The controls of the template package; loaded by the driver, extended by extensions.
    std::shared_ptr<AGPControls> Controls();
    // The generation items of project-level outputs.
    std::shared_ptr<AGControlItems> ControlList();
    // Runs a script function for a "function/" condition clause; installed by the script host.
    using ScriptFunctionRunner = std::function<FunctionOutcome(std::string_view)>;
    void SetScriptFunctionRunner(ScriptFunctionRunner runner) { scriptFunctionRunner_ = std::move(runner); }
    // A control-file condition against the current control, the project, the main database
    // and its current table and field. A condition that cannot be evaluated (no current object,
    // a failing script function) does not hold and leaves the reason in ProjErr.
    bool EvaluateCondition(std::string_view cond);
    ConditionResult EvaluateConditionDetailed(std::string_view cond);

    // "12.0.0", and the form shown to the user.
    std::string Version() const;
    std::string DisplayVersion() const;
    bool BackupFile() const { return backupFile_; }
    const std::string& UserCode() const { return userCode_; }
    std::int16_t UnloadThresholdCount() const { return unloadThreshold_; }
    // The names under which the script host publishes its system objects to templates.
    const std::string& SystemFunctionsName() const { return systemFunctionsName_; }
    const std::string& StringBuilderName() const { return stringBuilderName_; }

private:
    template <PropType T>
    void SetTyped(std::string_view name, const PropValue<T>& value);
    void ApplyTheme();
    void ApplyStyleFile(const std::string& path);
    void CreateUserFolders();
    // Closing the project: no DB, an empty database list, no current database name.
    void ClearDatabases();

    std::shared_ptr<AGProperties> properties_;
    std::unique_ptr<AGPSettings> settings_;
    bool projInit_ = false;
    std::int32_t hwnd_ = 0;
    bool backupFile_ = false;
    std::string userCode_;
    std::int16_t unloadThreshold_ = 20;
    std::string systemFunctionsName_;
    std::string stringBuilderName_;
    std::shared_ptr<AGPDatabase> db_;
    std::shared_ptr<AGPDatabases> databases_;
    std::shared_ptr<AGPDatabases> linkDatabases_;
    std::string currentDatabaseName_;
    std::shared_ptr<AGPMasterDetails> masterDetails_;
    std::shared_ptr<AGPControls> controls_;
    std::shared_ptr<AGControlItems> controlList_;
    ScriptFunctionRunner scriptFunctionRunner_;
};

}  // namespace velmora
