// Custom scripts: pieces of user code attached to places in the generated pages. A place is
// named by six parts: script type, code type, name, control id and two keys (a table and a
// field, for instance).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/core/property_bag.h"
#include "model/core/property_def.h"
#include "model/core/super_collection.h"
#include "support/variant.h"

namespace velmora {

// The custom script properties' declarations, in registration order.
PropertyTable CustomScriptProperties();

// The six parts of a script's place, which make its key.
struct ScriptPlace {
    std::string scriptType;
    std::string codeType;
    std::string name;
    std::string ctrlId;
    std::string l1Key;
    std::string l2Key;
};

// ScriptType_ScriptCodeType_ScriptName_ScriptCtrlID_ScriptL1Key_ScriptL2Key
std::string CustomScriptKey(const ScriptPlace& place);

class AGPCustomScript : public AutomationObject {
public:
    AGPCustomScript();

    std::shared_ptr<AGProperties> Properties() const { return properties_; }

#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> accessor() const;                                             \
    void Set##accessor(const PropValue<PropType::type>& value);
#include "model/core/custom_script_properties.def"

    ScriptPlace Place() const;
    std::string Key() const { return CustomScriptKey(Place()); }

private:
    std::shared_ptr<AGProperties> properties_;
};

// The custom scripts, keyed by CustomScriptKey without regard to case and numbered by Seq
// from 1 to Count.
class AGPCustomScripts : public AutomationObject {
public:
    AGPCustomScripts();

    // Key and Seq of the script last added or looked up.
    const std::string& curName() const { return curName_; }
    std::int16_t curSeq() const { return curSeq_; }

    // False when ScriptType, CodeType or Name is empty, or a script of that place exists.
    bool Add(std::string_view scriptType, std::string_view codeType, std::string_view name, std::string_view ctrlId,
             std::string_view l1Key, std::string_view l2Key);
    // Gives every script named oldName the name newName. False when a name is empty, no script
    // has oldName, or a renamed script would take the place of another; nothing changes then.
    bool Change(std::string_view oldName, std::string_view newName);
    std::int32_t Count() const { return items_.Count(); }
    // Removes the script; the later ones move down one number.
    bool Delete(std::string_view scriptType, std::string_view codeType, std::string_view name, std::string_view ctrlId,
                std::string_view l1Key, std::string_view l2Key);
    bool ScriptExist(std::string_view scriptType, std::string_view codeType, std::string_view name,
                     std::string_view ctrlId, std::string_view l1Key, std::string_view l2Key) const;
    // The script, or nullptr; a found script becomes the current one.
    std::shared_ptr<AGPCustomScript> ScriptItem(std::string_view scriptType, std::string_view codeType,
                                                std::string_view name, std::string_view ctrlId,
                                                std::string_view l1Key, std::string_view l2Key);
    // The script numbered `index`, or nullptr.
    std::shared_ptr<AGPCustomScript> Seq(std::int16_t index) const;
    std::shared_ptr<cEnumerationObject> NewEnum_scrpt() const { return items_.NewEnum(); }
    // The scripts in collection order, and sorted by Seq.
    std::vector<std::shared_ptr<AGPCustomScript>> Items() const;
    std::vector<std::shared_ptr<AGPCustomScript>> ItemsBySeq() const;
    void Clear();

private:
    std::shared_ptr<AGPCustomScript> Find(const ScriptPlace& place) const;
    void MakeCurrent(const AGPCustomScript& script);

    CSuperCollection items_;
    std::string curName_;
    std::int16_t curSeq_ = 0;
};

// The custom scripts shared by every root object of the process.
AGPCustomScripts& CustomScripts();
std::shared_ptr<AGPCustomScripts> SharedCustomScripts();

}  // namespace velmora
