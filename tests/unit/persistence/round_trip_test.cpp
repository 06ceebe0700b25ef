// Property-based round trip: random projects are saved, loaded into a fresh root and saved again.
#include <gtest/gtest.h>
#include <fmt/format.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "model/project/agp.h"
#include "model/entities/chart.h"
#include "model/entities/charts.h"
#include "model/project/custom_scripts.h"
#include "model/core/data_types.h"
#include "model/entities/database.h"
#include "model/entities/databases.h"
#include "model/extensions/ext_objects.h"
#include "model/extensions/extensions.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/project/language.h"
#include "model/entities/master_details.h"
#include "model/project/menus.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "model/entities/trend.h"
#include "persistence/project_reader.h"
#include "persistence/project_writer.h"
#include "support/convert.h"
#include "support/status.h"
#include "support/text.h"
#include "test_support.h"

namespace velmora {
namespace {

using test::ReadFile;
using test::TempDir;

void ClearSharedLists() {
    Extensions().Clear();
    MenuList().Clear();
    CustomScripts().Clear();
    Language().ClearTranslations();
}

class Random {
public:
    explicit Random(unsigned seed) : engine_(seed) {}
    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine_); }
    bool Chance() { return Between(0, 1) == 1; }

    // Text with the characters that need escaping, line breaks, tabs and non-ASCII letters.
    std::string Text(bool allowEmpty = true, bool allowCr = true) {
        static const std::vector<std::string> pieces = {
            "a", "Z", "7", " ", "\"", "'", "&", "<", ">", "]]>", "&amp;", "Söhne", "日本語", "ß", "\t", "|", "\n",
            "{", "}", "%", "é"};
        int length = Between(allowEmpty ? 0 : 1, 12);
        std::string text;
        for (int i = 0; i < length; ++i) {
            if (allowCr && Between(0, 15) == 0) text += "\r\n";
            text += pieces[static_cast<std::size_t>(Between(0, static_cast<int>(pieces.size()) - 1))];
        }
        return text;
    }

    // Settings no definition file declares come back trimmed and without enclosing quotes.
    std::string Setting() { return "[" + Text(false) + "]"; }

    std::string Name(std::string_view prefix) { return std::string(prefix) + std::to_string(Between(0, 1 << 20)); }

    template <typename T, std::size_t N>
    Variant Pick(const T (&picks)[N]) {
        return Variant(picks[Between(0, static_cast<int>(N) - 1)]);
    }

    Variant ValueOf(std::string_view type) {
        using I = std::numeric_limits<std::int16_t>;
        using L = std::numeric_limits<std::int32_t>;
        static const std::int16_t integers[] = {I::min(), I::max(), 0, -1, 42};
        static const std::int32_t longs[] = {L::min(), L::max(), 0, 1, -99999};
        static const float singles[] = {3.402823e38f, -1.5f, 0.0f, 1e-30f, 0.25f, 0.1f, 16777215.0f, 1.0f / 3};
        static const double doubles[] = {1e308, -2.2250738585072e-308, 0.1, -123456789.125, 1e-300, 0.1 + 0.2,
                                         1.0 / 3, 4.9406564584124654e-324, 123456789012345678.0};
        if (type == "Boolean") return Variant(Chance());
        if (type == "Integer") return Pick(integers);
        if (type == "Long") return Pick(longs);
        if (type == "Single") return Pick(singles);
        if (type == "Double") return Pick(doubles);
        return Variant(Text());
    }

    // Every saved entry of the bag gets a random value of its type, except those named in `keep`.
    void Fill(AGProperties& bag, const std::set<std::string>& keep) {
        for (const auto& entry : bag.Entries())
            if (entry->FileSave() && !keep.count(entry->Name())) entry->SetValue(ValueOf(entry->DataType()));
    }

private:
    std::mt19937 engine_;
};

// The saved content of a bag as the file carries it. The root's Version and Product attributes
// come back as entries of the loaded project; they describe the file, not the project.
std::string BagText(const AGProperties& bag, bool root = false) {
    std::string text;
    for (const auto& entry : bag.Entries()) {
        if (!entry->FileSave()) continue;
        if (root && (entry->Name() == "Version" || entry->Name() == "Product")) continue;
        const Variant& value = entry->Value();
        std::string shown = entry->DataType() == "Boolean" ? (ToBoolean(value).value_or(false) ? "1" : "0")
                                                           : value.ToText();
        // Numbers are compared exactly, not by the digits a user is shown.
        if (value.Type() == VarType::Double) shown = fmt::format("{}", value.AsDouble());
        if (value.Type() == VarType::Single) shown = fmt::format("{}", value.AsSingle());
        text += entry->Name() + "=" + shown + ";";
    }
    return text + "\n";
}

// Everything a project file carries, in a comparable form.
std::string Snapshot(AGP& proj) {
    std::string text = "project " + BagText(*proj.Properties(), true);
    if (auto db = proj.DB()) {
        text += "db " + BagText(*db->Properties());
        for (const auto& table : db->Tables()->Items()) {
            text += "table " + table->Key() + " " + BagText(*table->Properties());
            for (const auto& field : table->Fields()->Items())
                text += "field " + field->Key() + " " + BagText(*field->Properties());
            for (const auto& chart : table->Charts()->Items()) {
                text += "chart " + chart->Key() + " " + BagText(*chart->Properties());
                for (const auto& trend : chart->Trendlines()->Items())
                    text += "trend " + trend->Key() + " " + BagText(*trend->Properties());
            }
        }
    }
    for (const auto& link : proj.LINKDBS()->Items()) text += "link " + link->Key() + " " + BagText(*link->Properties());
    for (const auto& ext : Extensions().Items()) {
        text += "ext " + BagText(*ext->Properties());
        if (!ext->PROJ()) continue;
        text += "extproj " + BagText(*ext->PROJ()->Properties());
        for (const auto& db : ext->PROJ()->DB()->Items()) {
            text += "extdb " + db->Name() + " " + BagText(*db->Properties());
            for (const auto& table : db->Tables()->Items()) {
                text += "exttable " + table->Name() + " " + BagText(*table->Properties());
                for (const auto& field : table->Fields()->Items())
                    text += "extfield " + field->Name() + " " + BagText(*field->Properties());
            }
        }
    }
    for (const auto& md : proj.MasterDetails()->ItemsBySeq()) {
        text += "md " + md->MasterTable() + "/" + md->DetailTable() + std::to_string(md->EnforceReferentialIntegrity()) +
                std::to_string(md->CascadeUpdate()) + std::to_string(md->CascadeDelete());
        for (std::int16_t i = 1; i <= md->FieldCount(); ++i) {
            text += ' ';
            text += md->MasterField(i) + "=" + md->DetailField(i);
        }
        text += "\n";
    }
    for (const auto& script : CustomScripts().ItemsBySeq())
        text += "script " + script->Key() + " [" + script->ScriptCode() + "] " + BagText(*script->Properties());
    for (const auto& item : MenuList().Items()) {
        text += "menu";
        for (std::string_view name : MenuAttributeNames()) {
            text += ' ';
            text += item->MenuAtt(name).ToText();
        }
        text += "\n";
    }
    const AGPLanguage& language = Language();
    for (std::int32_t i = 1; i <= language.ProjectCount(); ++i) {
        auto p = *language.ProjectItem(i);
        text += "pp " + p.LanguageId + "/" + p.ProjectAttribute + "/" + p.Phrase + "\n";
    }
    for (std::int32_t i = 1; i <= language.MenuCount(); ++i) {
        auto p = *language.MenuItem(i);
        text += "mp " + p.LanguageId + "/" + p.MenuId + "/" + p.MenuAttribute + "/" + p.Phrase + "\n";
    }
    for (std::int32_t i = 1; i <= language.TableCount(); ++i) {
        auto p = *language.TableItem(i);
        text += "tp " + p.LanguageId + "/" + p.TableName + "/" + p.TableAttribute + "/" + p.Phrase + "\n";
    }
    for (std::int32_t i = 1; i <= language.FieldCount(); ++i) {
        auto p = *language.FieldItem(i);
        text += "fp " + p.LanguageId + "/" + p.TableName + "/" + p.FieldName + "/" + p.FieldAttribute + "/" + p.Phrase +
                "\n";
    }
    return text;
}

constexpr std::int16_t kFieldTypes[] = {kAdInteger, kAdVarChar, kAdDBTimeStamp, kAdBoolean, kAdNumeric,
                                        kAdLongVarChar, kAdDouble, kAdLongVarBinary, kAdGUID, 999};

void BuildTables(Random& rnd, AGPDatabase& db) {
    int tableCount = rnd.Between(1, 4);
    for (int t = 0; t < tableCount; ++t) {
        std::string name = rnd.Name("tbl ");
        if (!db.Tables()->Add(name)) continue;
        auto table = db.Tables()->Find(Variant(name));
        rnd.Fill(*table->Properties(), {"TblName", "TblVar", "TblType", "TblLoaded"});
        static const char* types[] = {"TABLE", "VIEW", "CUSTOMVIEW"};
        table->SetTblType(types[rnd.Between(0, 2)]);
        table->SetTblVar(MakeVarName(name, ""));
        table->SetTblLoaded(true);
        int fieldCount = rnd.Between(1, 5);
        for (int f = 0; f < fieldCount; ++f) {
            std::string fieldName = f == 0 ? "id" : rnd.Name("fld_");
            if (!table->Fields()->Add(name, fieldName)) continue;
            auto field = table->Fields()->Find(Variant(fieldName));
            rnd.Fill(*field->Properties(), {"FldName", "FldType", "FldQuoteS", "FldQuoteE", "FldTagValues"});
            field->SetFldType(kFieldTypes[rnd.Between(0, 9)]);
            auto quote = AdoTypeQuote(field->FldType(), kDbMySql);
            field->SetFldQuoteS(quote.value_or("q"));
            field->SetFldQuoteE(quote.value_or("q"));
            field->SetFldTagValues(rnd.Chance() ? "" : "one\r\ntwo & \"three\"\r\nvier ö");
            if (rnd.Chance()) Language().SetFieldPhrase("de", name, fieldName, "FldCaption", rnd.Text(false));
        }
        int chartCount = rnd.Between(0, 2);
        for (int c = 0; c < chartCount; ++c) {
            std::string chartName = rnd.Name("chart");
            if (!table->Charts()->Add(name, chartName)) continue;
            auto chart = table->Charts()->Item(Variant(chartName));
            rnd.Fill(*chart->Properties(), {"ChartName"});
            for (int k = rnd.Between(0, 2); k > 0; --k) {
                std::string trendName = rnd.Name("trend");
                if (!chart->Trendlines()->Add(trendName)) continue;
                rnd.Fill(*chart->Trendlines()->Item(Variant(trendName))->Properties(), {"TrendName"});
            }
        }
        if (rnd.Chance()) Language().SetTablePhrase("fr", name, "TblCaption", rnd.Text(false));
    }
}

void BuildExtension(AGP& proj, Random& rnd) {
    std::string name = rnd.Name("ext");
    Extensions().Add(name);
    auto ext = Extensions().Find(name);
    rnd.Fill(*ext->Properties(), {"Name", "Enabled"});
    ext->SetEnabled(rnd.Chance());
    if (!ext->Enabled()) return;
    auto proj_ = ext->CreatePROJ();
    for (int i = rnd.Between(0, 3); i > 0; --i) {
        std::string setting = rnd.Name("Setting");
        proj_->Properties()->Add(setting);
        proj_->Properties()->Find(setting)->SetValue(Variant(rnd.Setting()));
    }
    auto db = proj.DB();
    proj_->DB()->Add(proj.CurrentDatabaseName());
    auto extDb = proj_->DB()->Find(proj.CurrentDatabaseName());
    extDb->Properties()->Add("DbSetting");
    extDb->Properties()->Find("DbSetting")->SetValue(Variant(rnd.Setting()));
    for (const auto& table : db->Tables()->Items()) {
        if (rnd.Chance()) continue;
        extDb->Tables()->Add(table->Key());
        auto extTable = extDb->Tables()->Find(table->Key());
        extTable->Properties()->Add("TblColor");
        extTable->Properties()->Find("TblColor")->SetValue(Variant(rnd.Setting()));
        for (const auto& field : table->Fields()->Items()) {
            extTable->Fields()->Add(field->Key());
            auto extField = extTable->Fields()->Find(field->Key());
            extField->Properties()->Add("FldWidth");
            extField->Properties()->Find("FldWidth")->SetValue(Variant(rnd.Setting()));
        }
    }
}

void BuildProject(AGP& proj, Random& rnd, const std::string& templatePath) {
    rnd.Fill(*proj.Properties(), {"Template", "AppRelatedProject", "ProjID", "Ext", "DefaultPage", "SmtpServer"});
    proj.SetTemplate(templatePath);
    proj.SetAppRelatedProject("");
    proj.SetProjID("{" + rnd.Name("ID") + "}");
    proj.SetExt(rnd.Text(false, false));
    proj.SetDefaultPage(rnd.Text(false, false));
    proj.SetSmtpServer(rnd.Text(false, false));
    proj.SetV("ThemeFormGroupMarginBottom", Variant("12"));
    proj.Properties()->Add("MyCustomSetting");
    proj.Properties()->Find("MyCustomSetting")->SetValue(Variant("plain value"));

    auto db = proj.AddMainDatabase(rnd.Name("db"));
    rnd.Fill(*db->Properties(), {"DBName", "DBID", "DBDBMSName", "DBDBMSVer"});
    db->SetDBName(proj.CurrentDatabaseName());
    db->SetDBDBMSName("MySQL");
    BuildTables(rnd, *db);

    for (int i = rnd.Between(0, 2); i > 0; --i) {
        std::string id = rnd.Name("LINK");
        if (!proj.LINKDBS()->Add(id)) continue;
        auto link = proj.LINKDBS()->Item(Variant(id));
        rnd.Fill(*link->Properties(), {"DBID"});
        link->SetDBID(id);
    }
    for (int i = rnd.Between(0, 2); i > 0; --i) BuildExtension(proj, rnd);

    auto tables = db->Tables()->Items();
    for (int i = rnd.Between(0, 2); i > 0; --i) {
        std::string master = tables.front()->Key();
        std::string detail = rnd.Name("detail");
        if (!proj.AddMasterDetail(master, detail)) continue;
        auto md = proj.MasterDetails()->Item(master, detail);
        md->SetCascadeDelete(rnd.Chance());
        md->SetEnforceReferentialIntegrity(rnd.Chance());
        md->AddRelation("id", rnd.Name("ref"));
        md->AddRelation(rnd.Name("a"), rnd.Name("b"));
    }
    for (int i = rnd.Between(0, 3); i > 0; --i) {
        // Code keeps LF line ends: XML parsing turns CR LF in character data into LF.
        std::string code = rnd.Text(true, false) + "]]>" + rnd.Text(true, false) + "]]]]>>";
        proj.AddCustomScript("Server", "Table", rnd.Name("Row_"), "list", tables.front()->Key(), rnd.Text(true, false),
                             code);
    }
    std::int32_t id = 0;
    for (const auto& table : tables) {
        MenuValues values;
        values.MenuId = ++id;
        values.MenuText = rnd.Text();
        values.MenuParentId = id > 1 && rnd.Chance() ? 1 : 0;
        values.MenuSource = table->Key();
        values.MenuShow = rnd.Chance();
        values.MenuDisplayOrder = rnd.Between(-5, 1000);
        values.MenuUrl = rnd.Text();
        MenuList().AddMenu(values);
        Language().SetMenuPhrase("de", std::to_string(id), "MenuText", rnd.Text(false));
    }
    Language().SetProjectPhrase("de", "BodyTitle", rnd.Text(false));
}

// The first line where two snapshots differ, split at ";" so that one entry shows; "" when equal.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
    auto a = Split(expected, ';');
    auto b = Split(actual, ';');
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i] != b[i]) return "expected [" + a[i] + "] got [" + b[i] + "]";
    return a.size() == b.size() ? std::string() : "lengths differ";
}

class RoundTripTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearSharedLists();
        SetStatusSink(std::make_shared<NullStatusSink>());
        test::WriteFile(templatePath, "template");
    }
    void TearDown() override {
        ClearSharedLists();
        SetStatusSink(nullptr);
    }

    // Saves `proj` to first, loads that into a fresh project and saves it to second: the loaded
    // project must hold what was saved, and the second file must equal the first.
    void ExpectRoundTrip(AGP& proj, const std::string& first, const std::string& second) {
        ASSERT_TRUE(Save(proj, first)) << proj.ProjErr();
        std::string expected = Snapshot(proj);
        ClearSharedLists();
        AGP loaded;
        ASSERT_TRUE(Load(loaded, first, false)) << loaded.ProjErr();
        EXPECT_FALSE(loaded.IsDirty());
        EXPECT_EQ(FirstDifference(expected, Snapshot(loaded)), "");
        ASSERT_TRUE(Save(loaded, second)) << loaded.ProjErr();
        EXPECT_TRUE(ReadFile(second) == ReadFile(first)) << FirstDifference(ReadFile(first), ReadFile(second));
    }

    TempDir dir;
    std::string templatePath = dir / "template.zip";
};

TEST_F(RoundTripTest, RandomProjectsSurviveSaveAndLoad) {
    for (unsigned seed = 1; seed <= 25; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        ClearSharedLists();
        Random rnd(seed);
        AGP original;
        BuildProject(original, rnd, templatePath);
        ASSERT_NO_FATAL_FAILURE(ExpectRoundTrip(original, dir / ("first" + std::to_string(seed) + ".vlp"),
                                                dir / ("second" + std::to_string(seed) + ".vlp")));
    }
}

TEST_F(RoundTripTest, MenuFileRoundTripAndMerge) {
    AGP proj;
    ASSERT_TRUE(Load(proj, VELMORA_SOURCE_DIR "/examples/sample.vlp", false)) << proj.ProjErr();
    ASSERT_TRUE(SaveMenuToXml(dir / "menu.xml"));
    std::string before = Snapshot(proj);

    MenuList().Clear();
    Language().ClearTranslations();
    Load(proj, VELMORA_SOURCE_DIR "/examples/sample.vlp", false);
    MenuList().Clear();
    ASSERT_TRUE(LoadMenuFromXml(proj, dir / "menu.xml")) << proj.ProjErr();
    EXPECT_EQ(FirstDifference(before, Snapshot(proj)), "");

    // Reading the same menu again: items of known sources keep their ids and take the file's
    // values, so they move below the group, which is new (it has no source) and appended.
    std::int32_t count = MenuList().Count();
    ASSERT_TRUE(LoadMenuFromXml(proj, dir / "menu.xml"));
    EXPECT_EQ(MenuList().Count(), count + 1);
    EXPECT_EQ(MenuList().GetItemByTableName("orders")->MenuId(), 3);
    EXPECT_EQ(MenuList().GetItemByTableName("orders")->MenuParentId(), 6);
    EXPECT_EQ(MenuList().GetItemByID(6)->MenuText(), "Sales");
    EXPECT_EQ(Language().GetMenuPhrase("de", "6", "MenuText"), "Verkauf");
}

TEST_F(RoundTripTest, LoadMenuFromProjChecks) {
    AGP proj;
    auto write = [&](const std::string& text) {
        test::WriteFile(dir / "other.vlp", text);
        return LoadMenuFromProj(proj, dir / "other.vlp");
    };
    EXPECT_FALSE(write("<Menus/>"));
    EXPECT_EQ(proj.ProjErr(), "Velmora: Invalid project file.");
    EXPECT_FALSE(write("<Project Product=\"Velmora\"/>"));
    EXPECT_EQ(proj.ProjErr(), "Velmora: Incorrect product name 'Velmora' for project file");
    EXPECT_FALSE(write("<Project Product=\"Corvantis\"/>"));
    EXPECT_EQ(proj.ProjErr(), "Velmora: No menu item exists for this project");
    EXPECT_FALSE(write("<Project Product=\"Corvantis\" Template=\"/nowhere/t.zip\"><Menu MenuID=\"1\"/></Project>"));
    EXPECT_EQ(proj.ProjErr(), "Velmora: Load template file failed.");
    EXPECT_FALSE(LoadMenuFromProj(proj, dir / "absent.vlp"));
    EXPECT_EQ(proj.ProjErr(), "Velmora: Load project file failed.");

    ClearSharedLists();
    ASSERT_TRUE(write(test::ReadData("menus/one_item_project.vlp"))) << proj.ProjErr();
    EXPECT_NE(ReadFile(dir / "other.vlp").find("ProjID=\"{"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir / "menu.xml"));
    ASSERT_EQ(MenuList().Count(), 1);
    EXPECT_EQ(MenuList().GetItemByTableName("t")->MenuText(), "T");
    EXPECT_EQ(Language().GetMenuPhrase("de", "1", "MenuText"), "Te");
}

}  // namespace
}  // namespace velmora
