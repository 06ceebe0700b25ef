// AGP: the root object of the engine. It stands for the open project: the project properties,
// and every other model object reached from it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "model/property_bag.h"
#include "model/property_def.h"
#include "support/variant.h"

namespace velmora {

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
#include "model/project_properties.def"

    void AddProj(std::string_view projName);
    void DeleteProj();
    void LoadDefault();
    void SaveDefault();
    Variant ReadRegValue(const Variant& sClass, const Variant& sSection, const Variant& sKey) const;
    void AddTrace(std::string_view text);
    bool IsDirty() const;
    std::string LoadCodeBase(std::string_view scriptType, std::string_view codeType, std::string_view name) const;
    bool CodeBaseExist(std::string_view scriptType, std::string_view codeType, std::string_view name) const;

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

    std::shared_ptr<AGProperties> properties_;
    std::unique_ptr<AGPSettings> settings_;
    bool projInit_ = false;
    std::int32_t hwnd_ = 0;
    bool backupFile_ = false;
    std::string userCode_;
    std::int16_t unloadThreshold_ = 20;
    std::string systemFunctionsName_;
    std::string stringBuilderName_;
};

}  // namespace velmora
