// Application settings: the `appsetting` lists of a template package, each setting with its
// id, name, type, values, default value, template and function.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "model/core/super_collection.h"
#include "support/variant.h"

namespace velmora {

class XmlNode;

class AGPAppSetting : public AutomationObject {
public:
    std::string AppSettingID;
    std::string AppSettingName;
    std::string AppSettingType;
    std::string AppSettingValues;
    std::string AppSettingDefaultValue;
    std::string AppSettingTemplate;
    std::string AppSettingFunction;

    // Fills the setting from an `appsetting` element.
    void Load(const XmlNode& element);
};

class AGPAppSettings : public AutomationObject {
public:
    AGPAppSettings();

    // False, with ProjErr set, when the file does not load or is not an application-setting file.
    bool LoadAppSettings(const std::string& file);
    // An id that exists already is replaced.
    void AddSetting(std::string_view id, std::string_view name, std::string_view type, std::string_view values,
                    std::string_view defaultValue, std::string_view appTemplate, std::string_view appFunction);
    void DeleteSetting(std::string_view id);
    bool SettingExist(std::string_view id) const;
    std::int32_t Count() const;
    // By position (1-based) or id; nullptr when there is none.
    std::shared_ptr<AGPAppSetting> Item(const Variant& index) const;

private:
    void Put(std::shared_ptr<AGPAppSetting> setting);
    CSuperCollection items_;
};

}  // namespace velmora
