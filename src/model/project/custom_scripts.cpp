#include "model/project/custom_scripts.h"

#include <algorithm>

#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace {

constexpr PropertyDef kCustomScriptProperties[] = {
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    {#name, #accessor, PropType::type, regSave != 0, regFormat, fileSave != 0, sync != 0, readOnly != 0},
#include "model/core/custom_script_properties.def"
};
static_assert(std::size(kCustomScriptProperties) == 8);

ScriptPlace MakePlace(std::string_view scriptType, std::string_view codeType, std::string_view name,
                      std::string_view ctrlId, std::string_view l1Key, std::string_view l2Key) {
    return {std::string(scriptType), std::string(codeType), std::string(name),
            std::string(ctrlId),     std::string(l1Key),    std::string(l2Key)};
}

}  // namespace

PropertyTable CustomScriptProperties() { return kCustomScriptProperties; }

std::string CustomScriptKey(const ScriptPlace& place) {
    return place.scriptType + "_" + place.codeType + "_" + place.name + "_" + place.ctrlId + "_" + place.l1Key + "_" +
           place.l2Key;
}

AGPCustomScript::AGPCustomScript() : properties_(std::make_shared<AGProperties>()) {
    properties_->Register(kCustomScriptProperties);
}

#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> AGPCustomScript::accessor() const {                           \
        return GetTyped<PropType::type>(*properties_, #name);                               \
    }                                                                                       \
    void AGPCustomScript::Set##accessor(const PropValue<PropType::type>& value) {           \
        properties_->Item(Variant(std::string(#name)))->SetValue(Variant(value));           \
    }
#include "model/core/custom_script_properties.def"

ScriptPlace AGPCustomScript::Place() const {
    return {ScriptType(), ScriptCodeType(), ScriptName(), ScriptCtrlID(), ScriptL1Key(), ScriptL2Key()};
}

AGPCustomScripts::AGPCustomScripts() { items_.SetCompareMode(kTextCompare); }

std::shared_ptr<AGPCustomScript> AGPCustomScripts::Find(const ScriptPlace& place) const {
    const Variant* item = items_.FindByKey(CustomScriptKey(place));
    return item ? item->ObjectAs<AGPCustomScript>() : nullptr;
}

void AGPCustomScripts::MakeCurrent(const AGPCustomScript& script) {
    curName_ = script.Key();
    curSeq_ = script.Seq();
}

bool AGPCustomScripts::Add(std::string_view scriptType, std::string_view codeType, std::string_view name,
                           std::string_view ctrlId, std::string_view l1Key, std::string_view l2Key) {
    if (scriptType.empty() || codeType.empty() || name.empty())
        return Fail(ProductMessage("Script type, code type and script name must not be empty."));
    ScriptPlace place = MakePlace(scriptType, codeType, name, ctrlId, l1Key, l2Key);
    std::string key = CustomScriptKey(place);
    if (Find(place)) return Fail(ProductMessage("Custom script '" + key + "' already exists."));
    auto script = std::make_shared<AGPCustomScript>();
    script->SetScriptType(place.scriptType);
    script->SetScriptCodeType(place.codeType);
    script->SetScriptName(place.name);
    script->SetScriptCtrlID(place.ctrlId);
    script->SetScriptL1Key(place.l1Key);
    script->SetScriptL2Key(place.l2Key);
    script->SetSeq(static_cast<std::int16_t>(Count() + 1));
    try {
        items_.Add(Variant(script), key);
    } catch (const CollectionError& error) {
        return Fail(error.Description());
    }
    MakeCurrent(*script);
    return true;
}

bool AGPCustomScripts::Change(std::string_view oldName, std::string_view newName) {
    if (oldName.empty() || newName.empty()) return Fail(ProductMessage("Script names must not be empty."));
    std::vector<std::shared_ptr<AGPCustomScript>> renamed;
    for (const auto& script : Items())
        if (EqualsNoCase(script->ScriptName(), oldName)) renamed.push_back(script);
    if (renamed.empty())
        return Fail(ProductMessage("Custom script '" + std::string(oldName) + "' does not exist."));
    if (oldName == newName) return true;
    // Check every new key first, so that a collision leaves all scripts as they were.
    for (const auto& script : renamed) {
        ScriptPlace place = script->Place();
        place.name = std::string(newName);
        auto holder = Find(place);
        if (holder && std::find(renamed.begin(), renamed.end(), holder) == renamed.end())
            return Fail(ProductMessage("Custom script '" + CustomScriptKey(place) + "' already exists."));
    }
    try {
        for (const auto& script : renamed) {
            std::string oldKey = script->Key();
            script->SetScriptName(std::string(newName));
            items_.ChangeKey(oldKey, script->Key());
            if (EqualsNoCase(curName_, oldKey)) curName_ = script->Key();
        }
    } catch (const CollectionError& error) {
        return Fail(error.Description());
    }
    return true;
}

bool AGPCustomScripts::Delete(std::string_view scriptType, std::string_view codeType, std::string_view name,
                              std::string_view ctrlId, std::string_view l1Key, std::string_view l2Key) {
    ScriptPlace place = MakePlace(scriptType, codeType, name, ctrlId, l1Key, l2Key);
    std::shared_ptr<AGPCustomScript> script = Find(place);
    if (!script) return Fail(ProductMessage("Custom script '" + CustomScriptKey(place) + "' does not exist."));
    try {
        items_.Remove(Variant(CustomScriptKey(place)));
    } catch (const CollectionError& error) {
        return Fail(error.Description());
    }
    for (const auto& other : Items())
        if (other->Seq() > script->Seq()) other->SetSeq(static_cast<std::int16_t>(other->Seq() - 1));
    if (auto current = items_.FindByKey(curName_)) {
        curSeq_ = current->ObjectAs<AGPCustomScript>()->Seq();
    } else {
        curName_.clear();
        curSeq_ = 0;
    }
    return true;
}

bool AGPCustomScripts::ScriptExist(std::string_view scriptType, std::string_view codeType, std::string_view name,
                                   std::string_view ctrlId, std::string_view l1Key, std::string_view l2Key) const {
    return Find(MakePlace(scriptType, codeType, name, ctrlId, l1Key, l2Key)) != nullptr;
}

std::shared_ptr<AGPCustomScript> AGPCustomScripts::ScriptItem(std::string_view scriptType, std::string_view codeType,
                                                              std::string_view name, std::string_view ctrlId,
                                                              std::string_view l1Key, std::string_view l2Key) {
    std::shared_ptr<AGPCustomScript> script = Find(MakePlace(scriptType, codeType, name, ctrlId, l1Key, l2Key));
    if (script) MakeCurrent(*script);
    return script;
}

std::shared_ptr<AGPCustomScript> AGPCustomScripts::Seq(std::int16_t index) const {
    for (const auto& script : Items())
        if (script->Seq() == index) return script;
    return nullptr;
}

std::vector<std::shared_ptr<AGPCustomScript>> AGPCustomScripts::Items() const {
    std::vector<std::shared_ptr<AGPCustomScript>> scripts;
    for (const Variant& item : items_.ItemsInOrder())
        if (auto script = item.ObjectAs<AGPCustomScript>()) scripts.push_back(std::move(script));
    return scripts;
}

std::vector<std::shared_ptr<AGPCustomScript>> AGPCustomScripts::ItemsBySeq() const {
    std::vector<std::shared_ptr<AGPCustomScript>> scripts = Items();
    std::stable_sort(scripts.begin(), scripts.end(), [](const auto& a, const auto& b) { return a->Seq() < b->Seq(); });
    return scripts;
}

void AGPCustomScripts::Clear() {
    items_.Clear();
    curName_.clear();
    curSeq_ = 0;
}

std::shared_ptr<AGPCustomScripts> SharedCustomScripts() {
    static auto scripts = std::make_shared<AGPCustomScripts>();
    return scripts;
}

AGPCustomScripts& CustomScripts() { return *SharedCustomScripts(); }

}  // namespace velmora
