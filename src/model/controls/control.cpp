#include <array>
#include <variant>

#include "model/controls/controls.h"
#include "platform/regex.h"
#include "platform/xml.h"
#include "support/convert.h"
#include "support/text.h"

namespace velmora {
namespace {

using StringMember = std::string AGPControl::*;
using BoolMember = bool AGPControl::*;

// One property of a control: where the file carries it, how conditions name it, and whether
// AddControl copies it. The single source for loading, copying and condition lookups.
struct ControlAttribute {
    std::string_view xmlName;    // "" for a property the file does not carry
    std::string_view property;   // lower case
    std::variant<StringMember, BoolMember> member;
    bool copied;                 // by AddControl
    bool readable;               // by "ctrl" condition clauses
};

constexpr std::array<ControlAttribute, 18> kControlAttributes{{
    {"id", "ctrlid", &AGPControl::CtrlID, true, true},
    {"type", "ctrltype", &AGPControl::CtrlType, true, true},
    {"ofile", "ctrlofile", &AGPControl::CtrlOFile, true, true},
    {"oext", "ctrloext", &AGPControl::CtrlOExt, true, true},
    {"ofolder", "ctrlofolder", &AGPControl::CtrlOFolder, true, true},
    {"ofolderid", "ctrlofolderid", &AGPControl::CtrlOFolderID, true, true},
    {"ifiles", "ctrlifiles", &AGPControl::CtrlIFiles, true, true},
    {"ifolder", "ctrlifolder", &AGPControl::CtrlIFolder, true, true},
    {"cond", "ctrlcond", &AGPControl::CtrlCond, true, true},
    {"tagext", "ctrltagext", &AGPControl::CtrlTagExt, true, true},
    {"parm", "ctrlparm", &AGPControl::CtrlParm, true, true},
    {"space", "ctrlspace", &AGPControl::CtrlSpace, true, true},
    // Set by the driver and by page generation, never read from the file nor copied.
    {"", "ctrlgen", &AGPControl::CtrlGen, false, true},
    {"", "ctrlskipheaderfooter", &AGPControl::CtrlSkipHeaderFooter, false, true},
    {"extension", "ctrlext", &AGPControl::CtrlExt, true, true},
    {"action", "ctrlaction", &AGPControl::CtrlAction, true, true},
    {"overwrite", "ctrloverwrite", &AGPControl::CtrlOverwrite, true, true},
    {"remark", "ctrlremark", &AGPControl::CtrlRemark, false, false},
}};

const ControlAttribute* FindByXmlName(std::string_view lowerName) {
    for (const auto& attribute : kControlAttributes)
        if (!attribute.xmlName.empty() && attribute.xmlName == lowerName) return &attribute;
    return nullptr;
}

const ControlAttribute* FindReadable(std::string_view property) {
    for (const auto& attribute : kControlAttributes)
        if (attribute.readable && attribute.property == property) return &attribute;
    return nullptr;
}

// "/scripts/list" and "scripts\list" both become "scripts\list\".
std::string NormaliseInputFolder(std::string_view folder) {
    std::string result = ReplaceAll(folder, "/", "\\");
    if (!result.empty() && result.front() == '\\') result.erase(0, 1);
    if (result.empty() || result.back() != '\\') result += '\\';
    return result;
}

// Replaces every occurrence of the placeholder, ignoring case.
std::string ReplacePlaceholder(std::string_view text, std::string pattern, std::string_view value) {
    RegExp re(std::move(pattern));
    re.SetIgnoreCase(true);
    re.SetGlobal(true);
    // The value is literal text, not a replacement template.
    return re.Replace(text, ReplaceAll(value, "$", "$$"));
}

}  // namespace

bool IsControlConditionProperty(std::string_view property) { return FindReadable(property) != nullptr; }

std::shared_ptr<AGPSessions> AGPControl::Sessions() const {
    if (!sessions_) sessions_ = std::make_shared<AGPSessions>();
    return sessions_;
}

bool AGPControl::CtrlHasHeaderFooter() const {
    if (!sessions_) return false;
    for (std::int32_t i = 1; i <= sessions_->Count(); ++i) {
        auto session = sessions_->Item(i);
        if (ToLowerAscii(session->SessType) != "include") continue;
        std::string value = ToLowerAscii(session->SessValue);
        if (value == "header" || value == "footer" || value == "rptheader" || value == "rptfooter") return true;
    }
    return false;
}

bool AGPControl::Load(const XmlNode& xmlControl, std::string_view projVar, std::string_view dbVar,
                      std::string& error) {
    CtrlCond.clear();
    CtrlSpace = true;
    CtrlOverwrite = true;
    for (const XmlAttribute& xmlAttribute : xmlControl.Attributes()) {
        std::string name = ToLowerAscii(xmlAttribute.name);
        const ControlAttribute* attribute = FindByXmlName(name);
        if (!attribute) continue;
        if (const auto* boolMember = std::get_if<BoolMember>(&attribute->member)) {
            auto value = ToBoolean(Variant(xmlAttribute.value));
            if (!value) {
                error = "Control '" + xmlControl.GetAttributeNoCase("id") + "': attribute '" + xmlAttribute.name + "' has the value '" +
                        xmlAttribute.value + "', which is not a Boolean.";
                return false;
            }
            this->*(*boolMember) = *value;
            continue;
        }
        std::string value = xmlAttribute.value;
        if (name == "ifolder") {
            value = NormaliseInputFolder(value);
        } else if (name == "ofile" || name == "ofolder") {
            value = ReplacePlaceholder(value, R"(\{PROJ\.ProjVar\})", projVar);
            value = ReplacePlaceholder(value, R"(\{DB\.DBVar\})", dbVar);
        }
        this->*std::get<StringMember>(attribute->member) = std::move(value);
    }
    Sessions()->Load(xmlControl);
    return true;
}

std::optional<Variant> AGPControl::ConditionValue(std::string_view property) const {
    const ControlAttribute* attribute = FindReadable(property);
    if (!attribute) return std::nullopt;
    return std::visit([this](auto member) { return Variant(this->*member); }, attribute->member);
}

// Copies what AddControl carries over; sessions are the caller's business.
void CopyControlAttributes(const AGPControl& from, AGPControl& to) {
    for (const auto& attribute : kControlAttributes) {
        if (!attribute.copied) continue;
        std::visit([&](auto member) { to.*member = from.*member; }, attribute.member);
    }
}

}  // namespace velmora
