#include "model/project/agp.h"

#include <locale.h>

#include <array>
#include <filesystem>

#include <fmt/format.h>

#include "model/entities/database.h"
#include "model/project/engine_objects.h"
#include "model/project/settings_file.h"
#include "platform/xml.h"
#include "support/config_paths.h"
#include "support/convert.h"
#include "support/engine_state.h"
#include "support/guid.h"
#include "support/settings_store.h"
#include "support/text.h"

namespace velmora {
namespace {

constexpr PropertyDef kProjectProperties[] = {
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    {#name, #accessor, PropType::type, regSave != 0, regFormat, fileSave != 0, sync != 0, readOnly != 0},
#include "model/core/project_properties.def"
};
static_assert(std::size(kProjectProperties) == 154);

// System texts and number formats must not follow the user's locale.
void UseNeutralLocaleOnThisThread() {
    static locale_t neutral = newlocale(LC_ALL_MASK, "C", nullptr);
    if (neutral) uselocale(neutral);
}

std::string AfterLastSeparator(const std::string& path) {
    auto pos = path.find_last_of("\\/");
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

}  // namespace

PropertyTable ProjectProperties() { return kProjectProperties; }

std::string MakeVarName(std::string_view text, std::string_view prefix) {
    std::string name(text);
    while (Keywords().IsKeyword(name)) name += "_";
    std::string result;
    for (std::size_t i = 0; i < name.size();) {
        char32_t c = NextCodePoint(name, i);
        if (c == ' ' || c == '.')
            result += '_';
        else if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_')
            result += static_cast<char>(c);
        else
            result += fmt::format("{:X}", static_cast<std::uint32_t>(c));
    }
    char first = name.empty() ? '\0' : name[0];
    if (!((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z') || first == '_')) result.insert(0, "_");
    return std::string(prefix) + result;
}

AGP::AGP() : properties_(std::make_shared<AGProperties>()) {
    systemFunctionsName_ = "SYSTEMFUNCTIONS";
    stringBuilderName_ = "StringBuilder";
    UseNeutralLocaleOnThisThread();

    properties_->Register(ProjectProperties());
    SetProjID(GetGUID());

    EngineState& engine = Engine();
    engine.scriptLanguage = "JScript";
    SetCGIPath("#!/usr/local/bin/php");
    SetDefaultDateFormat(5);

    // A user without settings of their own starts from the machine's.
    if (!CurrentUserStore().KeyExists(SettingsSection())) {
        for (const std::string& section : {AdvancedFiltersSection(), SettingsSection(), ExtensionsSection()})
            CopyMachineSectionToUser(section);
    }
    engine.defaultTemplateFile =
        AfterLastSeparator(GetRegValue("HKCU", SettingsSection("Project"), "Template").ToText());

    LoadDefault();
    CreateUserFolders();
    engine.projectDirty = false;

    std::string scriptEngine = GetRegValue("HKCU", SettingsSection("General"), "ScriptEngine").ToText();
    if (!scriptEngine.empty()) engine.scriptLanguage = scriptEngine;

    settings_ = std::make_unique<AGPSettings>();
    ApplyTheme();
    engine.templateExtension = "tpl";
}

AGP::~AGP() = default;

std::string AGP::ProjErr() const { return Engine().ProjErr; }
void AGP::SetProjErr(std::string text) { Engine().ProjErr = std::move(text); }
std::string AGP::ProjErrDb() const { return Engine().ProjErrDb; }
void AGP::SetProjErrDb(std::string text) { Engine().ProjErrDb = std::move(text); }

Variant AGP::GetV(std::string_view name) {
    if (auto entry = properties_->Find(name)) return ConvertTo(entry->Value(), entry->DataType());
    Variant value = settings_->LoadSettingValue("Project", name);
    if (value.IsNull()) return Variant(std::string());
    properties_->Add(name, settings_->LoadSettingType("Project", name));
    properties_->Find(name)->SetValue(value);
    return value;
}

Variant AGP::SetV(std::string_view name, const Variant& value) {
    if (auto entry = properties_->Find(name)) {
        entry->SetValue(ConvertTo(value, entry->DataType()));
        return {};
    }
    properties_->Add(name, settings_->LoadSettingType("Project", name));
    if (auto entry = properties_->Find(name)) entry->SetValue(value);
    return {};
}

template <PropType T>
void AGP::SetTyped(std::string_view name, const PropValue<T>& value) {
    properties_->SetValueAt(properties_->ItemIndex(name), Variant(value));
}

#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> AGP::accessor() const {                                       \
        return GetTyped<PropType::type>(*properties_, #name);                               \
    }
#include "model/core/project_properties.def"

#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    void AGP::Set##accessor(const PropValue<PropType::type>& value) {                       \
        SetTyped<PropType::type>(#name, value);                                             \
    }
#define VELMORA_PROPERTY_CUSTOM_SET(...)
#include "model/core/project_properties.def"

void AGP::SetProjName(const std::string& value) {
    SetTyped<PropType::String>("ProjName", value);
    std::string var = MakeVarName(value);
    SetProjVar(var);
    Engine().projectVarName = var;
}

void AGP::SetAppCompatVersion(const std::int16_t& value) {
    SetTyped<PropType::Integer>("AppCompatVersion", value);
    Engine().appCompatVersion = value;
}

void AGP::AddProj(std::string_view projName) {
    SetProjName(std::string(projName));
    LoadDefault();
    projInit_ = true;
}

void AGP::DeleteProj() {
    properties_->Clear();
    ClearDatabases();
    masterDetails_.reset();
    properties_->Register(ProjectProperties());
    projInit_ = false;
}

void AGP::LoadDefault() {
    LoadRegistryDefaults(*properties_, SettingsSection("Project"));
    EngineState& engine = Engine();
    engine.languageFolder = GetConfigPath("LanguageFolder");

    std::string general = SettingsSection("General");
    backupFile_ = ToBoolean(GetRegValue("HKCU", general, "BackupFile")).value_or(false);
    userCode_ = GetRegValue("HKCU", general, "UserCode").ToText();
    engine.scriptEngineTimeout = ToLong(GetRegValue("HKCU", general, "ScriptEngineTimeout")).value_or(0);

    Variant dateFormat = properties_->Item(Variant("defaultDateFormat"))->Value();
    engine.defaultDateFormat = ToInteger(dateFormat).value_or(0);

    for (const char* name : {"IncFiles", "IncVirtuals", "SecLoginID", "SecPasswd", "SecTbl", "SecLoginIDFld",
                             "SecPasswdFld"})
        properties_->Item(Variant(name))->SetValue(Variant(std::string()));
    SetSecType("None");
    SetAutoSync(true);
    SetOtherGen(true);
    SetAutoBrowse(false);
    SetLinkOnLeft(false);
    SetMultiDelete(false);
    SetPagerStyle(2);

    auto threshold = ToInteger(GetRegValue("HKCU", general, "UnloadThresholdCount")).value_or(0);
    unloadThreshold_ = threshold < 1 ? 20 : threshold;
}

void AGP::SaveDefault() {
    SaveRegistryDefaults(*properties_, SettingsSection("Project"));
    if (db_) SaveRegistryDefaults(*db_->Properties(), SettingsSection("Database"));
    std::string general = SettingsSection("General");
    SetRegValue("HKCU", general, "BackupFile", kRegText, Variant(backupFile_));
    SetRegValue("HKCU", general, "UserCode", kRegText, Variant(userCode_));
    SetRegValue("HKCU", general, "ScriptEngineTimeout", kRegNumber, Variant(Engine().scriptEngineTimeout));
}

Variant AGP::ReadRegValue(const Variant& sClass, const Variant& sSection, const Variant& sKey) const {
    std::string root = ToLowerAscii(sClass.ToText()) == "hklm" ? "HKLM" : "HKCU";
    return GetRegValue(root, sSection.ToText(), sKey.ToText());
}

void AGP::AddTrace(std::string_view text) {
    std::string& trace = Engine().trace;
    if (!trace.empty()) trace += "\r\n";
    trace += text;
}

bool AGP::IsDirty() const { return Engine().projectDirty; }

std::string AGP::LoadCodeBase(std::string_view scriptType, std::string_view codeType, std::string_view name) const {
    return CodeBase().CodeSource(scriptType, codeType, name);
}

bool AGP::CodeBaseExist(std::string_view scriptType, std::string_view codeType, std::string_view name) const {
    return CodeBase().CodeExist(scriptType, codeType, name);
}

std::string AGP::Version() const { return EngineVersion(); }
std::string AGP::DisplayVersion() const { return velmora::DisplayVersion(); }

void AGP::CreateUserFolders() {
    EngineState& engine = Engine();
    engine.userDataFolder = Trim(UserDataFolder());
    engine.backupFolder = engine.userDataFolder + "/Backup";
    engine.reportFolder = engine.userDataFolder + "/Report";
    std::error_code ec;  // a folder that cannot be made fails later, where it is written to
    for (const std::string& folder : {engine.backupFolder, engine.reportFolder})
        std::filesystem::create_directories(folder, ec);
}

void AGP::ApplyStyleFile(const std::string& path) {
    XmlDocument doc;
    if (!doc.Load(path)) return;
    for (XmlNode child : doc.DocumentElement().ChildElements()) {
        if (ToLowerAscii(child.NodeName()) != "style") continue;
        SetV(child.GetAttribute("id"), Variant(child.GetAttribute("value")));
    }
}

void AGP::ApplyTheme() {
    std::string folder = GetConfigPath("ThemeFolder");
    if (folder.empty()) return;
    if (folder.back() != '/' && folder.back() != '\\') folder += '/';
    ApplyStyleFile(folder + "bootstrap.xml");
    std::string theme = ApplicationTheme();
    if (!theme.empty()) ApplyStyleFile(folder + ToLowerAscii(theme) + ".xml");
}

}  // namespace velmora
