// The engine's helper objects a host may create besides the root object: the template parser and
// session store, the status window, the registry accessor and the custom-setting file.
#include <memory>

#include "model/project/settings_file.h"
#include "support/registry.h"
#include "support/status.h"
#include "template/bind_helpers.h"
#include "template/engine_objects_script.h"
#include "template/file_cache.h"
#include "template/parser.h"

namespace velmora::bind {

void BindEngineObjects(ClassMap& classes) {
    ClassBuilder<AGParser>(classes, "AGParser")
        .Get("BlockType", &AGParser::BlockType)
        .Get("BlockName", [](AGParser& p) { return std::string(p.BlockName()); })
        .Get("BlockValue", [](AGParser& p) { return std::string(p.BlockValue()); })
        .Get("BlockIndent", [](AGParser& p) { return std::string(p.BlockIndent()); })
        .GetSet("BlockID", &AGParser::BlockID, &AGParser::SetBlockID)
        .Get("Count", &AGParser::Count)
        .Method("Parse", 1, [](AGParser& p, const Args& args) { p.Parse(args.Text(0)); })
        .Method("GetSession", 2,
                [](AGParser& p, const Args& args) { return p.GetSession(args.Text(0), args.Text(1)); });

    ClassBuilder<AGPFileCache>(classes, "AGPFileCache")
        .Method("Clear", 0, [](AGPFileCache& c, const Args&) { c.Clear(); })
        .Method("AddFile", 2, [](AGPFileCache& c, const Args& args) { c.AddFile(args.Text(0), args.Text(1)); })
        .Method("GetSession", 2,
                [](AGPFileCache& c, const Args& args) { return c.GetSession(args.Text(0), args.Text(1)); });

    using Status = ScriptObject<AGPStatus>;
    ClassBuilder<Status>(classes, "AGPStatus")
        .Method("ShowStatus", 2, [](Status& s, const Args& a) { s.held.ShowStatus(a.As<std::int32_t>(0), a.Text(1)); })
        .Method("ShowStatus2", 2,
                [](Status& s, const Args& a) { s.held.ShowStatus2(a.As<std::int32_t>(0), a.Text(1)); })
        .Method("ShowStatus3", 2,
                [](Status& s, const Args& a) { s.held.ShowStatus3(a.As<std::int32_t>(0), a.Text(1)); })
        .Method("DispStatus", 1, [](Status& s, const Args& a) { s.held.DispStatus(a.Text(0)); })
        .Method("SetStatus", 1, [](Status& s, const Args& a) { s.held.SetStatus(a.As<double>(0)); })
        .Method("StatusIsCancelled", 0, [](Status& s, const Args&) { return s.held.StatusIsCancelled(); })
        .Method("CloseStatus", 0, [](Status& s, const Args&) { s.held.CloseStatus(); })
        .Method("BringStatusToFront", 0, [](Status& s, const Args&) { s.held.BringStatusToFront(); })
        .Method("GetGUID", 0, [](Status& s, const Args&) { return s.held.GetGUID(); });

    // The one shared registry accessor, whichever object a host holds.
    using RegistryObject = ScriptObject<RegistryRef>;
    ClassBuilder<RegistryObject>(classes, "cRegistry")
        .GetSet(
            "ClassKey", [](RegistryObject&) { return static_cast<std::int32_t>(Registry().ClassKey); },
            [](RegistryObject&, std::int32_t key) { Registry().ClassKey = static_cast<std::uint32_t>(key); })
        .GetSet(
            "SectionKey", [](RegistryObject&) { return Registry().SectionKey; },
            [](RegistryObject&, const std::string& key) { Registry().SectionKey = key; })
        .GetSet(
            "ValueKey", [](RegistryObject&) { return Registry().ValueKey; },
            [](RegistryObject&, const std::string& key) { Registry().ValueKey = key; })
        .GetSet(
            "ValueType", [](RegistryObject&) { return Registry().ValueType; },
            [](RegistryObject&, std::int32_t type) { Registry().ValueType = type; })
        .GetSet(
            "Default", [](RegistryObject&) { return Registry().Default; },
            [](RegistryObject&, const Variant& value) { Registry().Default = value; })
        .GetSet(
            "Value", [](RegistryObject&) { return Registry().Value(); },
            [](RegistryObject&, const Variant& value) { Registry().SetValue(value); })
        .Method("KeyExists", 0, [](RegistryObject&, const Args&) { return Registry().KeyExists(); })
        .Method("CreateKey", 0, [](RegistryObject&, const Args&) { return Registry().CreateKey(); })
        .Method("DeleteKey", 0, [](RegistryObject&, const Args&) { return Registry().DeleteKey(); })
        .Method("DeleteValue", 0, [](RegistryObject&, const Args&) { return Registry().DeleteValue(); })
        .Method("EnumerateValues", 0, [](RegistryObject&, const Args&) { return Registry().EnumerateValues(); })
        .Method("EnumerateSections", 0, [](RegistryObject&, const Args&) { return Registry().EnumerateSections(); });

    using Settings = ScriptObject<AGPSettings>;
    ClassBuilder<Settings>(classes, "AGPSettings")
        .Method("LoadSettings", 0, [](Settings& s, const Args&) { return s.held.LoadSettings(); })
        .Method("LoadSettingType", 2,
                [](Settings& s, const Args& a) { return s.held.LoadSettingType(a.Text(0), a.Text(1)); })
        .Method("LoadSettingValue", 2,
                [](Settings& s, const Args& a) { return s.held.LoadSettingValue(a.Text(0), a.Text(1)); });
}

}  // namespace velmora::bind
