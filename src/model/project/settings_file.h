// The custom-setting file (settings.xml): types and values of settings the engine does not
// declare itself, by section and name.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "support/variant.h"

namespace velmora {

class XmlDocument;

class AGPSettings {
public:
    // Loads the file named by the ConfigFile path.
    AGPSettings();
    ~AGPSettings();

    // False, with ProjErr set, when the file does not load; later lookups then find nothing.
    bool LoadSettings();
    // The setting's type ("String" when it has none); "" when there is no such setting.
    std::string LoadSettingType(std::string_view section, std::string_view id) const;
    // The setting's value converted by its type; Null when there is no such setting.
    Variant LoadSettingValue(std::string_view section, std::string_view id) const;

private:
    std::unique_ptr<XmlDocument> doc_;
};

}  // namespace velmora
