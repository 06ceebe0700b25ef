#include "model/project/app_settings.h"

#include "platform/xml.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace {

// Template and function texts keep line breaks as the two-character sequences \r\n.
std::string UnescapeLineBreaks(std::string_view text) { return ReplaceAll(text, "\\r\\n", "\r\n"); }

}  // namespace

void AGPAppSetting::Load(const XmlNode& element) {
    AppSettingID = element.GetAttribute("id");
    AppSettingName = element.GetAttribute("name");
    AppSettingType = element.GetAttribute("type");
    AppSettingValues = element.GetAttribute("values");
    AppSettingDefaultValue = element.GetAttribute("defaultvalue");
    AppSettingTemplate = UnescapeLineBreaks(element.GetAttribute("template"));
    AppSettingFunction = UnescapeLineBreaks(element.GetAttribute("function"));
}

AGPAppSettings::AGPAppSettings() { items_.SetCompareMode(kTextCompare); }

bool AGPAppSettings::LoadAppSettings(const std::string& file) {
    XmlDocument doc;
    if (!doc.Load(file)) return Fail(ProductMessage("Load project file failed!"));
    XmlNode root = doc.DocumentElement();
    if (ToLowerAscii(root.BaseName()) != "project") return Fail(ProductMessage("Project file is invalid!"));
    for (XmlNode node : root.ChildElements()) {
        if (ToLowerAscii(node.NodeName()) != "appsetting") continue;
        auto setting = std::make_shared<AGPAppSetting>();
        setting->Load(node);
        Put(std::move(setting));
    }
    return true;
}

void AGPAppSettings::AddSetting(std::string_view id, std::string_view name, std::string_view type,
                                std::string_view values, std::string_view defaultValue,
                                std::string_view appTemplate, std::string_view appFunction) {
    auto setting = std::make_shared<AGPAppSetting>();
    setting->AppSettingID = id;
    setting->AppSettingName = name;
    setting->AppSettingType = type;
    setting->AppSettingValues = values;
    setting->AppSettingDefaultValue = defaultValue;
    setting->AppSettingTemplate = appTemplate;
    setting->AppSettingFunction = appFunction;
    Put(std::move(setting));
}

void AGPAppSettings::Put(std::shared_ptr<AGPAppSetting> setting) {
    std::string id = setting->AppSettingID;
    if (items_.FindByKey(id)) {
        items_.SetAllowItemAsignments(true);
        items_.SetItem(Variant(id), Variant(std::move(setting)));
        items_.SetAllowItemAsignments(false);
    } else {
        items_.Add(Variant(std::move(setting)), id);
    }
}

void AGPAppSettings::DeleteSetting(std::string_view id) {
    if (items_.FindByKey(id)) items_.Remove(Variant(std::string(id)));
}

bool AGPAppSettings::SettingExist(std::string_view id) const { return items_.FindByKey(id) != nullptr; }

std::int32_t AGPAppSettings::Count() const { return items_.Count(); }

std::shared_ptr<AGPAppSetting> AGPAppSettings::Item(const Variant& index) const {
    try {
        return items_.Item(index).ObjectAs<AGPAppSetting>();
    } catch (const CollectionError&) {
        return nullptr;
    }
}

}  // namespace velmora
