#include "model/project/settings_file.h"

#include "platform/xml.h"
#include "support/config_paths.h"
#include "support/convert.h"
#include "support/engine_state.h"

namespace velmora {
namespace {

XmlNode FindSetting(const XmlDocument* doc, std::string_view section, std::string_view id) {
    if (!doc) return {};
    for (XmlNode sec : doc->DocumentElement().ChildElements()) {
        if (sec.NodeName() != "section" || sec.GetAttribute("name") != section) continue;
        for (XmlNode setting : sec.ChildElements())
            if (setting.NodeName() == "setting" && setting.GetAttribute("name") == id) return setting;
        return {};
    }
    return {};
}

std::string TypeOf(const XmlNode& setting) {
    std::string type = setting.GetAttribute("type");
    return type.empty() ? "String" : type;
}

}  // namespace

AGPSettings::AGPSettings() { LoadSettings(); }
AGPSettings::~AGPSettings() = default;

bool AGPSettings::LoadSettings() {
    std::string path = GetConfigPath("ConfigFile");
    auto doc = std::make_unique<XmlDocument>();
    if (!doc->Load(path)) {
        doc_.reset();
        return Fail("Unable to load custom setting file: '" + path + "'. Please check.");
    }
    doc_ = std::move(doc);
    return true;
}

std::string AGPSettings::LoadSettingType(std::string_view section, std::string_view id) const {
    XmlNode setting = FindSetting(doc_.get(), section, id);
    return setting ? TypeOf(setting) : std::string();
}

Variant AGPSettings::LoadSettingValue(std::string_view section, std::string_view id) const {
    XmlNode setting = FindSetting(doc_.get(), section, id);
    if (!setting) return Variant::Null();
    return ConvertTo(Variant(setting.GetAttribute("value")), TypeOf(setting));
}

}  // namespace velmora
