#include "model/controls/controls.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>

#include "model/project/agp.h"
#include "model/entities/database.h"
#include "platform/xml.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace {

std::int32_t controlFileError = 0;

// The product name as a root element spells it: without "/" and blanks.
std::string RootPrefix() {
    std::string prefix;
    for (char c : kProductName)
        if (c != '/' && c != ' ') prefix += c;
    return prefix;
}

bool IsOwnRoot(std::string_view rootName) {
    std::string prefix = RootPrefix();
    return rootName.size() >= prefix.size() && EqualsNoCase(rootName.substr(0, prefix.size()), prefix);
}

// Template paths may be written with "\"; on this system only "/" separates folders.
std::string ExistingPath(std::string_view file) {
    std::string path(file);
    std::error_code ec;
    if (path.find('\\') != std::string::npos && !std::filesystem::exists(path, ec))
        return ReplaceAll(path, "\\", "/");
    return path;
}

}  // namespace

std::int32_t ControlFileError() { return controlFileError; }
void SetControlFileError(std::int32_t code) { controlFileError = code; }

bool AGPControls::LoadControls(std::string_view file, const AGP* project) {
    XmlDocument doc;
    std::string path = ExistingPath(file);
    if (!doc.Load(path)) {
        SetControlFileError(1);
        return Fail(ProductMessage("Cannot load control file '" + path + "': " + doc.Error().reason));
    }
    controls_.clear();
    curIndex_ = 0;
    XmlNode root = doc.DocumentElement();
    if (!IsOwnRoot(root.BaseName())) {
        SetControlFileError(2);
        return Fail(ProductMessage("Control file '" + path + "' has the root element '" + root.NodeName() +
                                   "', which belongs to no " + std::string(kProductName) + " template."));
    }

    const std::pair<std::string_view, std::string*> rootAttributes[] = {
        {"date", &prodDate_}, {"version", &prodVersion_}, {"desc", &prodDesc_}, {"author", &prodAuthor_}};
    for (const auto& [name, target] : rootAttributes) {
        if (!root.HasAttributeNoCase(name))
            return Fail(ProductMessage("Control file '" + path + "' lacks the attribute '" + std::string(name) +
                                       "' of its root element."));
        *target = root.GetAttributeNoCase(name);
    }

    std::string projVar, dbVar;
    if (project) {
        projVar = project->ProjVar();
        if (auto db = project->DB()) dbVar = db->DBVar();
    }
    for (const XmlNode& element : root.ChildrenNoCase("control")) {
        auto control = std::make_shared<AGPControl>();
        std::string error;
        if (!control->Load(element, projVar, dbVar, error)) {
            controls_.clear();
            return Fail(ProductMessage("Control file '" + path + "': " + error));
        }
        controls_.push_back(std::move(control));
    }
    return true;
}

bool AGPControls::AddControl(const AGPControl& ctrl) {
    if (ControlExist(ctrl.CtrlID)) return false;
    auto control = std::make_shared<AGPControl>();
    CopyControlAttributes(ctrl, *control);
    auto from = ctrl.Sessions();
    auto to = control->Sessions();
    for (std::int32_t i = 1; i <= from->Count(); ++i) {
        AGPSession session = *from->Item(i);
        session.SessExt = ctrl.CtrlExt;
        to->AddSession(session, "", "");
    }
    controls_.push_back(std::move(control));
    return true;
}

bool AGPControls::DeleteControl(const AGPControl& ctrl) {
    auto it = std::find_if(controls_.begin(), controls_.end(), [&](const auto& control) {
        return control->CtrlID == ctrl.CtrlID && control->CtrlType == ctrl.CtrlType;
    });
    if (it == controls_.end()) return false;
    controls_.erase(it);
    return true;
}

bool AGPControls::ControlExist(std::string_view sId) const {
    return std::any_of(controls_.begin(), controls_.end(), [&](const auto& control) { return control->CtrlID == sId; });
}

std::shared_ptr<AGPControl> AGPControls::Item(const Variant& index) {
    std::optional<std::size_t> found;
    if (index.IsNumber()) {
        // Fractions round to the nearest position, halves to the even one.
        double position = std::nearbyint(index.NumericValue().value_or(0.0));
        if (position >= 1 && position <= Count()) found = static_cast<std::size_t>(position) - 1;
    } else if (index.IsString()) {
        auto it = std::find_if(controls_.begin(), controls_.end(),
                               [&](const auto& control) { return control->CtrlID == index.AsString(); });
        if (it != controls_.end()) found = static_cast<std::size_t>(it - controls_.begin());
    }
    if (!found) return nullptr;
    curIndex_ = static_cast<std::int32_t>(*found) + 1;
    return controls_[*found];
}

std::shared_ptr<AGPControl> AGPControls::Current() const {
    if (curIndex_ < 1 || curIndex_ > Count()) return nullptr;
    return controls_[static_cast<std::size_t>(curIndex_ - 1)];
}

}  // namespace velmora
