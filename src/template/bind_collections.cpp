// The collections: entity lists, extension lists, relations, custom scripts, menus, control
// lists, the property bag and the keyed collection with its keys and enumerator.
#include <cstdint>
#include <memory>
#include <vector>

#include "model/project/app_settings.h"
#include "model/entities/charts.h"
#include "model/controls/controls.h"
#include "model/project/custom_scripts.h"
#include "model/entities/databases.h"
#include "model/extensions/ext_objects.h"
#include "model/entities/fields.h"
#include "model/entities/master_details.h"
#include "model/project/menus.h"
#include "model/core/property_bag.h"
#include "model/core/super_collection.h"
#include "model/entities/tables.h"
#include "template/bind_helpers.h"

namespace velmora::bind {
namespace {

// The members the entity and extension collections share: the current item, the count, and
// lookup by key, position and sequence number. `NewEnum_...` gives the items as an array.
template <class C>
ClassBuilder<C>& AddListMembers(ClassBuilder<C>& builder, std::string newEnumName) {
    return builder.Get("curName", &C::curName)
        .Get("curSeq", &C::curSeq)
        .Method("Count", &C::Count)
        .Method("Item", &C::Item)
        .Method("Seq", &C::Seq)
        .Method(std::move(newEnumName), 0, [](C& list, const Args&) { return list.Items(); })
        .Enumerate([](C& list) { return list.Items(); });
}

// Items of a collection that offers only Count and Item(position).
template <class C>
auto ItemsByPosition(C& collection) {
    std::vector<decltype(collection.Item(1))> items;
    for (std::int32_t i = 1; i <= collection.Count(); ++i) items.push_back(collection.Item(i));
    return items;
}

void BindEntityCollections(ClassMap& classes) {
    ClassBuilder<AGPDatabases> databases(classes, "AGPDatabases");
    AddListMembers(databases, "NewEnum_db")
        .Method("Add", &AGPDatabases::Add)
        .Method("Delete", &AGPDatabases::Delete)
        .Method("DBExist", &AGPDatabases::DBExist);

    ClassBuilder<AGPTables> tables(classes, "AGPTables");
    AddListMembers(tables, "NewEnum_tbl")
        .Method("Add", &AGPTables::Add)
        .Method("Change", &AGPTables::Change)
        .Method("Delete", &AGPTables::Delete)
        .Method("TableExist", &AGPTables::TableExist)
        .Method("SetItem", &AGPTables::SetItem)
        .Method("SetSeq", &AGPTables::SetSeq);

    ClassBuilder<AGPFields> fields(classes, "AGPFields");
    AddListMembers(fields, "NewEnum_fld")
        .Method("Add", &AGPFields::Add)
        .Method("Change", &AGPFields::Change)
        .Method("Delete", &AGPFields::Delete)
        .Method("FieldExist", &AGPFields::FieldExist)
        .Method("SetItem", &AGPFields::SetItem)
        .Method("SetSeq", &AGPFields::SetSeq);

    ClassBuilder<AGPCharts> charts(classes, "AGPCharts");
    AddListMembers(charts, "NewEnum_cht")
        .Method("Add", &AGPCharts::Add)
        .Method("Change", &AGPCharts::Change)
        .Method("Delete", &AGPCharts::Delete)
        .Method("ChartExist", &AGPCharts::ChartExist)
        .Method("SetItem", &AGPCharts::SetItem)
        .Method("SetSeq", &AGPCharts::SetSeq);

    ClassBuilder<AGPTrends> trends(classes, "AGPTrends");
    AddListMembers(trends, "NewEnum_trend")
        .Method("Add", &AGPTrends::Add)
        .Method("Change", &AGPTrends::Change)
        .Method("Delete", &AGPTrends::Delete)
        .Method("TrendExist", &AGPTrends::TrendExist);
}

// The extension settings lists of databases, tables, charts and fields.
template <class C>
void BindExtensionList(ClassMap& classes, std::string name, std::string existName, std::string newEnumName) {
    ClassBuilder<C> builder(classes, std::move(name));
    AddListMembers(builder, std::move(newEnumName))
        .Method("Add", &C::Add)
        .Method("Change", &C::Change)
        .Method("Delete", &C::Delete)
        .Method(std::move(existName), 1, [](C& list, const Args& args) { return list.Exist(args.Value(0)); })
        .Method("SetItem", &C::SetItem)
        .Method("SetSeq", &C::SetSeq);
}

void BindExtensionCollections(ClassMap& classes) {
    ClassBuilder<AGPExtensions> extensions(classes, "AGPExtensions");
    AddListMembers(extensions, "NewEnum_ext")
        .Method("Add", &AGPExtensions::Add)
        .Method("Delete", &AGPExtensions::Delete)
        .Method("ExtensionExist", &AGPExtensions::ExtensionExist);
    BindExtensionList<AGPExtDbs>(classes, "AGPExtDbs", "DBExist", "NewEnum_db");
    BindExtensionList<AGPExtTables>(classes, "AGPExtTables", "TableExist", "NewEnum_tbl");
    BindExtensionList<AGPExtCharts>(classes, "AGPExtCharts", "ChartExist", "NewEnum_cht");
    BindExtensionList<AGPExtFields>(classes, "AGPExtFields", "FieldExist", "NewEnum_fld");
}

void BindRelationsAndScripts(ClassMap& classes) {
    ClassBuilder<AGPMasterDetails>(classes, "AGPMasterDetails")
        .Get("curMasterTable", &AGPMasterDetails::curMasterTable)
        .Get("curDetailTable", &AGPMasterDetails::curDetailTable)
        .Get("curSeq", &AGPMasterDetails::curSeq)
        .Method("Add", &AGPMasterDetails::Add)
        .Method("Count", &AGPMasterDetails::Count)
        .Method("CheckSequence", &AGPMasterDetails::CheckSequence)
        .Method("Delete", &AGPMasterDetails::Delete)
        .Method("MasterDetailExist", &AGPMasterDetails::MasterDetailExist)
        .Method("Item", &AGPMasterDetails::Item)
        .Method("Seq", &AGPMasterDetails::Seq)
        .Method("NewEnum_md", 0, [](AGPMasterDetails& list, const Args&) { return list.Items(); })
        .Enumerate([](AGPMasterDetails& list) { return list.Items(); });

    ClassBuilder<AGPCustomScripts>(classes, "AGPCustomScripts")
        .Get("curName", &AGPCustomScripts::curName)
        .Get("curSeq", &AGPCustomScripts::curSeq)
        .Method("Add", &AGPCustomScripts::Add)
        .Method("Change", &AGPCustomScripts::Change)
        .Method("Count", &AGPCustomScripts::Count)
        .Method("Delete", &AGPCustomScripts::Delete)
        .Method("ScriptExist", &AGPCustomScripts::ScriptExist)
        .Method("ScriptItem", &AGPCustomScripts::ScriptItem)
        .Method("Seq", &AGPCustomScripts::Seq)
        .Method("NewEnum_scrpt", 0, [](AGPCustomScripts& list, const Args&) { return list.Items(); })
        .Enumerate([](AGPCustomScripts& list) { return list.Items(); });
}

void BindMenus(ClassMap& classes) {
    constexpr std::size_t kMenuArgs = 13;
    ClassBuilder<AGPMenus>(classes, "AGPMenus")
        .GetSet("curIndex", &AGPMenus::curIndex, &AGPMenus::SetcurIndex)
        .Method("LoadMenus", &AGPMenus::LoadMenus)
        .Method("AddMenu", kMenuArgs,
                [](AGPMenus& menus, const Args& args) { return menus.AddMenu(MenuValuesFromArgs(args.Raw())); })
        .Method("ChangeMenu", kMenuArgs,
                [](AGPMenus& menus, const Args& args) { return menus.ChangeMenu(MenuValuesFromArgs(args.Raw())); })
        .Method("DeleteMenu", &AGPMenus::DeleteMenu)
        .Method("DeleteMenuBySource", &AGPMenus::DeleteMenuBySource)
        .Method("Sort", &AGPMenus::Sort)
        .Method("Count", &AGPMenus::Count)
        .Method("MenuHasID", &AGPMenus::MenuHasID)
        .Method("GetItemByID", &AGPMenus::GetItemByID)
        .Method("MenuHasTable", &AGPMenus::MenuHasTable)
        .Method("GetItemByTableName", &AGPMenus::GetItemByTableName)
        .Method("Item", &AGPMenus::Item)
        .Enumerate([](AGPMenus& menus) { return menus.Items(); });
}

void BindControlLists(ClassMap& classes) {
    ClassBuilder<AGPControls>(classes, "AGPControls")
        .Get("curIndex", &AGPControls::curIndex)
        .Get("ProdDate", &AGPControls::ProdDate)
        .Get("ProdVersion", &AGPControls::ProdVersion)
        .Get("ProdDesc", &AGPControls::ProdDesc)
        .Get("ProdAuthor", &AGPControls::ProdAuthor)
        .Method("LoadControls", 1,
                [](AGPControls& controls, const Args& args) { return controls.LoadControls(args.Text(0)); })
        .Method("AddControl", &AGPControls::AddControl)
        .Method("DeleteControl", &AGPControls::DeleteControl)
        .Method("ControlExist", &AGPControls::ControlExist)
        .Method("Count", &AGPControls::Count)
        .Method("Item", &AGPControls::Item)
        .Enumerate([](AGPControls& controls) { return controls.Items(); });

    ClassBuilder<AGPSessions>(classes, "AGPSessions")
        .Method("AddSession", &AGPSessions::AddSession)
        .Method("ChangeSession", &AGPSessions::ChangeSession)
        .Method("DeleteSession", &AGPSessions::DeleteSession)
        .Method("SessionExist", &AGPSessions::SessionExist)
        .Method("Count", &AGPSessions::Count)
        .Method("Item", &AGPSessions::Item)
        .Enumerate([](AGPSessions& sessions) { return ItemsByPosition(sessions); });

    ClassBuilder<AGControlItems>(classes, "AGControlItems")
        .Method("Add", &AGControlItems::Add)
        .Method("Count", &AGControlItems::Count)
        .Method("Delete", &AGControlItems::Delete)
        .Method("ItemExist", &AGControlItems::ItemExist)
        .Method("Item", &AGControlItems::Item)
        .Method("NewEnum_item", 0, [](AGControlItems& items, const Args&) { return items.Items(); })
        .Enumerate([](AGControlItems& items) { return items.Items(); });

    ClassBuilder<AGPAppSettings>(classes, "AGPAppSettings")
        .Method("LoadAppSettings", &AGPAppSettings::LoadAppSettings)
        .Method("AddSetting", &AGPAppSettings::AddSetting)
        .Method("DeleteSetting", &AGPAppSettings::DeleteSetting)
        .Method("SettingExist", &AGPAppSettings::SettingExist)
        .Method("Count", &AGPAppSettings::Count)
        .Method("Item", &AGPAppSettings::Item)
        .Enumerate([](AGPAppSettings& settings) {
            std::vector<std::shared_ptr<AGPAppSetting>> items;
            for (std::int32_t i = 1; i <= settings.Count(); ++i) items.push_back(settings.Item(Variant(i)));
            return items;
        });
}

void BindPropertyBag(ClassMap& classes) {
    ClassBuilder<AGProperties>(classes, "AGProperties")
        .Method("Add", 6,
                [](AGProperties& bag, const Args& args) {
                    return bag.Add(args.Text(0), args.As<std::string>(1, "String"), args.As<bool>(2, false),
                                   args.As<std::int32_t>(3, 0), args.As<bool>(4, true), args.As<bool>(5, true));
                })
        .Method("Change", &AGProperties::Change)
        .Method("Count", &AGProperties::Count)
        .Method("Delete", &AGProperties::Delete)
        .Method("PropertyExist", &AGProperties::PropertyExist)
        .Method("Item", &AGProperties::Item)
        .Method("NewEnum_prp", 0, [](AGProperties& bag, const Args&) { return bag.Entries(); })
        .Enumerate([](AGProperties& bag) { return bag.Entries(); });
}

void BindKeyedCollection(ClassMap& classes) {
    ClassBuilder<CSuperCollection>(classes, "CSuperCollection")
        .GetSet("CompareMode", &CSuperCollection::CompareMode, &CSuperCollection::SetCompareMode)
        .GetSet("AllowItemAsignments", &CSuperCollection::AllowItemAsignments,
                &CSuperCollection::SetAllowItemAsignments)
        .GetSet("BaseIndex", &CSuperCollection::BaseIndex, &CSuperCollection::SetBaseIndex)
        .Get("Keys", &CSuperCollection::Keys)
        .Method("Key", &CSuperCollection::Key)
        .Method("KeyExists", &CSuperCollection::KeyExists)
        .Method("ChangeKey", &CSuperCollection::ChangeKey)
        .Method("ChangeKeyForIndex", &CSuperCollection::ChangeKeyForIndex)
        .Method("Add", 4,
                [](CSuperCollection& collection, const Args& args) {
                    collection.Add(args.Value(0), args.Text(1), args.As<std::int32_t>(2, kInsertLast),
                                   args.As<std::int32_t>(3, kNoPosition));
                })
        .Get("Count", &CSuperCollection::Count)
        .Method("Remove", &CSuperCollection::Remove)
        .Method("Item", &CSuperCollection::Item)
        .Method("SetItem", &CSuperCollection::SetItem)
        .Get("NewEnum", &CSuperCollection::ItemsInOrder)
        .Method("Clear", &CSuperCollection::Clear)
        .Method("MoveItem", &CSuperCollection::MoveItem)
        .Enumerate([](CSuperCollection& collection) { return collection.ItemsInOrder(); });

    ClassBuilder<CKeys>(classes, "CKeys").Get("Count", &CKeys::Count).Enumerate([](CKeys& keys) {
        return keys.Items();
    });

    ClassBuilder<cKey>(classes, "cKey").Get("Name", &cKey::Name).Get("AssociatedIndex", &cKey::AssociatedIndex);

    // Enumerating an enumerator yields what remains of it without moving it.
    ClassBuilder<cEnumerationObject>(classes, "cEnumerationObject")
        .Method("Next", 0,
                [](cEnumerationObject& enumerator, const Args&) {
                    Variant item;
                    return enumerator.Next(item) ? item : Variant();
                })
        .Method("Skip", &cEnumerationObject::Skip)
        .Method("Reset", &cEnumerationObject::Reset)
        .Method("Clone", &cEnumerationObject::Clone)
        .Enumerate([](cEnumerationObject& enumerator) {
            auto rest = enumerator.Clone();
            std::vector<Variant> items;
            for (Variant item; rest->Next(item);) items.push_back(item);
            return items;
        });
}

}  // namespace

void BindCollections(ClassMap& classes) {
    BindEntityCollections(classes);
    BindExtensionCollections(classes);
    BindRelationsAndScripts(classes);
    BindMenus(classes);
    BindControlLists(classes);
    BindPropertyBag(classes);
    BindKeyedCollection(classes);
}

}  // namespace velmora::bind
