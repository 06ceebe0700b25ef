#include <gtest/gtest.h>

#include "model/project/agp.h"
#include "model/project/app_settings.h"
#include "model/project/code_base.h"
#include "model/project/engine_objects.h"
#include "model/project/keyword.h"
#include "platform/prompter.h"
#include "support/config_paths.h"
#include "support/engine_state.h"
#include "test_support.h"

namespace velmora {
namespace {

TEST(CodeBase, LoadsRecordsMergesDuplicatesWithoutCaseAndKeepsThemOnABadFile) {
    test::TempDir dir;
    AGPCodeBase codeBase;
    ASSERT_TRUE(codeBase.Load(test::DataPath("code_base/merged_records.xml")));
    EXPECT_EQ(codeBase.Count(), 3);
    EXPECT_EQ(codeBase.CodeSource("php", "function", "HELLO"), "second\r\nversion");
    EXPECT_EQ(codeBase.CodeSource("js", "f", "plain"), "text & more");
    EXPECT_TRUE(codeBase.CodeExist("JS", "F", "empty"));
    EXPECT_EQ(codeBase.CodeSource("js", "f", "empty"), "");
    EXPECT_EQ(codeBase.CodeSource("php", "function", "nothing"), "");
    EXPECT_EQ(codeBase.curIndex(), 0);

    // Files of another root add nothing; broken and missing files fail. The records stay.
    test::WriteFile(dir / "other.xml",
                    "<something.else><code scripttype=\"a\" codetype=\"b\" name=\"d\">y</code></something.else>");
    test::WriteFile(dir / "broken.xml", "<velmora.codebase><code>");
    EXPECT_TRUE(codeBase.Load(dir / "other.xml"));
    EXPECT_FALSE(codeBase.Load(dir / "broken.xml"));
    EXPECT_FALSE(codeBase.Load(dir / "missing.xml"));
    EXPECT_EQ(codeBase.Count(), 3);
    EXPECT_FALSE(codeBase.CodeExist("a", "b", "d"));
}

TEST(CodeBase, TheShippedCodeBaseServesTheRootObject) {
    ASSERT_TRUE(CodeBase().Load(GetConfigPath("codebase")));
    AGP proj;
    EXPECT_TRUE(proj.CodeBaseExist("php", "function", "HtmlEncode"));
    EXPECT_NE(proj.LoadCodeBase("PHP", "FUNCTION", "htmlencode").find("htmlspecialchars"), std::string::npos);
}

TEST(Keywords, LoadingIsAdditiveLookupIgnoresCaseAndReservedNamesGetAnUnderscore) {
    test::TempDir dir;
    std::string first = test::DataPath("keywords/first.xml"), second = test::DataPath("keywords/second.xml");
    AGPKeyword keywords;
    ASSERT_TRUE(keywords.Load(first));
    ASSERT_TRUE(keywords.Load(first));
    EXPECT_EQ(keywords.Count(), 2);
    ASSERT_TRUE(keywords.Load(second));
    EXPECT_EQ(keywords.Count(), 3);
    EXPECT_TRUE(keywords.IsKeyword("ZVALPHA"));
    EXPECT_FALSE(keywords.IsKeyword("no"));

    // Reserved words get a trailing underscore as variable names.
    std::string reserved = dir / "k.xml";
    test::WriteFile(reserved,
                    "<velmora.keyword><keyword value=\"zvclass\"/><keyword value=\"zvclass_\"/></velmora.keyword>");
    ASSERT_TRUE(Keywords().Load(reserved));
    EXPECT_EQ(MakeVarName("ZVCLASS"), "ZVCLASS__");
    EXPECT_EQ(MakeVarName("zvclass2"), "zvclass2");
}

TEST(Keywords, AFailedLoadIsReportedOnceUntilALoadSucceeds) {
    test::TempDir dir;
    std::string good = dir / "good.xml";
    test::WriteFile(good, "<velmora.keyword/>");
    auto recorder = std::make_shared<NonInteractivePrompter>();
    auto previous = CurrentPrompter();
    SetPrompter(recorder);
    AGPKeyword keywords;
    EXPECT_FALSE(keywords.Load(dir / "missing.xml"));
    EXPECT_FALSE(keywords.Load(dir / "missing.xml"));
    ASSERT_EQ(recorder->Shown().size(), 1u);
    EXPECT_EQ(recorder->Shown()[0].title, "Velmora");
    EXPECT_EQ(recorder->Shown()[0].text,
              "Load keyword file \"" + (dir / "missing.xml") + "\" failed. Please check your keyword file.");
    EXPECT_TRUE(keywords.Load(good));
    EXPECT_FALSE(keywords.Load(dir / "missing.xml"));
    EXPECT_EQ(recorder->Shown().size(), 2u);
    SetPrompter(previous);
}

TEST(AppSettings, LoadsSettingsReplacesDuplicateIdsAndRefusesOtherFiles) {
    test::TempDir dir;
    AGPAppSettings settings;
    ASSERT_TRUE(settings.LoadAppSettings(test::DataPath("app_settings/duplicate_ids.xml")));
    EXPECT_EQ(settings.Count(), 2);
    EXPECT_EQ(settings.Item(Variant("A"))->AppSettingName, "Again");
    EXPECT_EQ(settings.Item(Variant("A"))->AppSettingFunction, "f()\r\n");
    EXPECT_EQ(settings.Item(Variant(std::int32_t{2}))->AppSettingDefaultValue, "5");
    settings.DeleteSetting("b");
    EXPECT_FALSE(settings.SettingExist("B"));
    EXPECT_EQ(settings.Item(Variant("zz")), nullptr);

    std::string wrong = dir / "wrong.xml";
    test::WriteFile(wrong, "<other/>");
    EXPECT_FALSE(settings.LoadAppSettings(dir / "missing.xml"));
    EXPECT_EQ(Engine().ProjErr, "Velmora: Load project file failed!");
    EXPECT_FALSE(settings.LoadAppSettings(wrong));
    EXPECT_EQ(Engine().ProjErr, "Velmora: Project file is invalid!");
}

}  // namespace
}  // namespace velmora
