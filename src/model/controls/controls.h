// The control file of a template package ("control.xml") in memory: the controls (generation
// units) with their sessions, and the generation item lists that record, per table and per
// project, which controls produce which output files.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/core/super_collection.h"
#include "support/variant.h"

namespace velmora {

class AGP;
class XmlNode;

// Why the last LoadControls failed: 1 the file is not well-formed XML (or unreadable), 2 its root
// element belongs to another product. Module-wide; a successful load does not reset it.
std::int32_t ControlFileError();
void SetControlFileError(std::int32_t code);

class AGPSession : public AutomationObject {
public:
    std::string SessType, SessValue, SessParm, SessIFile, SessCond, SessExt, SessAction, SessLocation, SessLocType;

    // Copies the nine attributes of a "session" element.
    void Load(const XmlNode& xmlSession);
};

class AGPSessions : public AutomationObject {
public:
    // Appends one session per "session" child of the control element.
    void Load(const XmlNode& xmlControl);
    // Inserts a copy of `session` before the first session whose SessValue is `loc` (behind it
    // when `loctype` is "after"); appends when none is. Always true.
    bool AddSession(const AGPSession& session, std::string_view loc, std::string_view loctype);
    bool ChangeSession(std::string_view sValue, const AGPSession& session);
    bool DeleteSession(std::string_view sValue);
    bool SessionExist(std::string_view sValue) const;
    std::int32_t Count() const { return static_cast<std::int32_t>(sessions_.size()); }
    // Position 1..Count; nullptr outside.
    std::shared_ptr<AGPSession> Item(std::int32_t index) const;

private:
    // The first session whose SessValue is `value` (exact comparison), or end.
    std::vector<std::shared_ptr<AGPSession>>::const_iterator FindValue(std::string_view value) const;

    std::vector<std::shared_ptr<AGPSession>> sessions_;
};

// Whether a "ctrl" condition clause can read the control property `property` (lower case:
// "ctrlid", ...).
bool IsControlConditionProperty(std::string_view property);

class AGPControl : public AutomationObject {
public:
    // Created on first use.
    std::shared_ptr<AGPSessions> Sessions() const;

    std::string CtrlID, CtrlType, CtrlOFile, CtrlOExt, CtrlOFolder, CtrlOFolderID, CtrlIFiles, CtrlIFolder,
        CtrlCond, CtrlTagExt, CtrlParm;
    bool CtrlSpace = false;
    bool CtrlGen = false;
    bool CtrlSkipHeaderFooter = false;
    std::string CtrlExt, CtrlAction;
    bool CtrlOverwrite = false;
    std::string CtrlRemark;

    // True when an "include" session names "header", "footer", "rptheader" or "rptfooter".
    bool CtrlHasHeaderFooter() const;
    // Reads a "control" element: attributes (ifolder normalised, the {PROJ.ProjVar} and
    // {DB.DBVar} placeholders of ofile and ofolder replaced with `projVar` and `dbVar`) and
    // sessions. False, with the reason in `error`, for a Boolean attribute that does not convert.
    bool Load(const XmlNode& xmlControl, std::string_view projVar, std::string_view dbVar, std::string& error);
    // The property a "ctrl" condition clause names (lower case); nullopt for one it cannot read.
    std::optional<Variant> ConditionValue(std::string_view property) const;

private:
    mutable std::shared_ptr<AGPSessions> sessions_;
};

// Copies the attributes AddControl carries over: all but CtrlGen, CtrlSkipHeaderFooter and
// CtrlRemark; not the sessions.
void CopyControlAttributes(const AGPControl& from, AGPControl& to);

class AGPControls : public AutomationObject {
public:
    std::int32_t curIndex() const { return curIndex_; }
    const std::string& ProdDate() const { return prodDate_; }
    const std::string& ProdVersion() const { return prodVersion_; }
    const std::string& ProdDesc() const { return prodDesc_; }
    const std::string& ProdAuthor() const { return prodAuthor_; }

    // Replaces the list with the controls of `file`. False with ControlFileError 1 (not loadable)
    // or 2 (another product's root element); a missing root attribute or a Boolean attribute that
    // does not convert also fails, with the reason in ProjErr. `project` supplies ProjVar and the
    // database's DBVar for the placeholders (may be null: they become "").
    bool LoadControls(std::string_view file, const AGP* project = nullptr);
    // Appends a copy of `ctrl` (and its sessions, stamped with its CtrlExt); false for a taken id.
    bool AddControl(const AGPControl& ctrl);
    // Removes the first control with the same CtrlID and CtrlType.
    bool DeleteControl(const AGPControl& ctrl);
    bool ControlExist(std::string_view sId) const;
    std::int32_t Count() const { return static_cast<std::int32_t>(controls_.size()); }
    // A number selects a position 1..Count, a text the first control with that CtrlID; the match
    // becomes current (curIndex). nullptr when none matches.
    std::shared_ptr<AGPControl> Item(const Variant& index);
    // The control at curIndex; nullptr when none is current.
    std::shared_ptr<AGPControl> Current() const;
    const std::vector<std::shared_ptr<AGPControl>>& Items() const { return controls_; }

private:
    std::vector<std::shared_ptr<AGPControl>> controls_;
    std::int32_t curIndex_ = 0;
    std::string prodDate_, prodVersion_, prodDesc_, prodAuthor_;
};

class AGControlItem : public AutomationObject {
public:
    std::string Key;
    std::string ItemId;
    std::string ItemFn;
    bool ItemGen = false;
    bool ItemHasHeaderFooter = true;
    bool ItemSkipHeaderFooter = false;
    std::string ItemRemark;
    std::string ItemDest;
};

// The generation items of a table or of the project, keyed by ItemId.
class AGControlItems : public AutomationObject {
public:
    AGControlItems();
    // False for an empty or taken id.
    bool Add(std::string_view ItemId, std::string_view ItemFn, bool ItemGen, std::string_view ItemRemark);
    std::int32_t Count() const;
    // Index is a position or an ItemId.
    bool Delete(const Variant& index);
    bool ItemExist(const Variant& index) const;
    std::shared_ptr<AGControlItem> Item(const Variant& index) const;
    std::vector<std::shared_ptr<AGControlItem>> Items() const;
    std::shared_ptr<cEnumerationObject> NewEnum_item() const { return items_.NewEnum(); }

private:
    CSuperCollection items_;
};

}  // namespace velmora
