#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "generation/file_rules.h"
#include "generation/output_writer.h"
#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "platform/prompter.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "support/status.h"
#include "test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

void SetBackupFile(bool on) {
    SetRegValue("HKCU", SettingsSection("General"), "BackupFile", kRegText, Variant(std::string(on ? "1" : "0")));
}

class OverwriteRulesTest : public testing::Test {
protected:
    void SetUp() override {
        test::ResetSettingsStores();
        Engine().ProjErr.clear();
        SetStatusSink(std::make_shared<NullStatusSink>());
        SetPrompter(prompter);
        WriteFile(existing, "old");
    }
    void TearDown() override {
        SetPrompter(nullptr);
        SetStatusSink(nullptr);
        Engine().ProjErr.clear();
    }
    void Answer(std::string_view answer) { prompter->Set("overwrite-file", answer); }

    test::TempDir dir;
    std::string existing = dir / "list.php";
    std::string missing = dir / "new.php";
    std::shared_ptr<PolicyPrompter> prompter = std::make_shared<PolicyPrompter>();
    OverwriteRules rules;
};

TEST_F(OverwriteRulesTest, MissingTargetsAreWrittenAndExistingOnesNeedPermission) {
    Answer("overwrite");
    EXPECT_TRUE(rules.CanWriteFile(missing, false, true, false));
    EXPECT_FALSE(rules.CanWriteFile(existing, false, true, false));
    EXPECT_TRUE(rules.CanWriteFile(existing, true, false, false));
    EXPECT_TRUE(prompter->Asked().empty());

    // Check mode only asks whether the target is there.
    EXPECT_TRUE(rules.CanWriteFile(existing, false, true, true));
    EXPECT_FALSE(rules.CanWriteFile(missing, true, false, true));
    EXPECT_FALSE(rules.CanWriteFolder(existing, true, false, true));
    EXPECT_TRUE(rules.CanWriteFolder(dir.path().string(), true, false, true));

    EXPECT_TRUE(rules.CanWriteFile(existing, true, true, false));
    ASSERT_EQ(prompter->Asked().size(), 1u);
    EXPECT_EQ(prompter->Asked()[0].id, "overwrite-file");
    EXPECT_EQ(prompter->Asked()[0].message, "File " + existing + " already exists!");

    // Unanswered questions skip.
    SetPrompter(std::make_shared<NonInteractivePrompter>());
    EXPECT_FALSE(rules.CanWriteFile(existing, true, true, false));
    EXPECT_FALSE(rules.CanWriteFolder(dir.path().string(), true, true, false));
    EXPECT_EQ(rules.Remembered(), "");
}

TEST_F(OverwriteRulesTest, AnswersForAllAreRememberedUntilReset) {
    Answer("skip-all");
    EXPECT_FALSE(rules.CanWriteFile(existing, true, true, false));
    EXPECT_EQ(rules.Remembered(), "S");
    EXPECT_FALSE(rules.CanWriteFile(existing, true, true, false));
    EXPECT_EQ(prompter->Asked().size(), 1u);
    EXPECT_TRUE(rules.CanWriteFile(missing, true, true, false));

    rules.Reset();
    Answer("overwrite-all");
    EXPECT_TRUE(rules.CanWriteFile(existing, true, true, false));
    EXPECT_EQ(rules.Remembered(), "O");
    EXPECT_TRUE(rules.CanWriteFile(existing, true, true, false));
    // A control that forbids overwriting is still obeyed.
    EXPECT_FALSE(rules.CanWriteFile(existing, false, true, false));
    EXPECT_EQ(prompter->Asked().size(), 2u);

    // A policy answers without asking, in this run and the next.
    rules.SetPolicy("S");
    EXPECT_FALSE(rules.CanWriteFile(existing, true, true, false));
    rules.Reset();
    EXPECT_EQ(rules.Remembered(), "S");
    rules.SetPolicy("C");
    EXPECT_EQ(rules.Remembered(), "");
    EXPECT_EQ(prompter->Asked().size(), 2u);
}

TEST_F(OverwriteRulesTest, CancelEndsTheRun) {
    prompter->Set("overwrite-folder", "cancel");
    EXPECT_FALSE(rules.CanWriteFolder(dir.path().string(), true, true, false));
    EXPECT_TRUE(rules.Cancelled());
    EXPECT_EQ(Engine().ProjErr, "Generation cancelled by user!");
    EXPECT_EQ(prompter->Asked()[0].message, "Folder " + dir.path().string() + " already exists!");
    rules.Reset();
    EXPECT_FALSE(rules.Cancelled());
}

TEST_F(OverwriteRulesTest, BackupsKeepThePreviousContent) {
    SetBackupFile(true);
    WriteFile(existing + ".bak", "older");
    EXPECT_TRUE(rules.CanWriteFile(existing, true, false, false));
    EXPECT_EQ(ReadFile(existing + ".bak"), "old");

    std::string folder = dir / "images";
    WriteFile(folder + "/a.png", "a");
    WriteFile(folder + ".bak/stale.png", "s");
    EXPECT_TRUE(rules.CanWriteFolder(folder, true, false, false));
    EXPECT_EQ(ReadFile(folder + ".bak/a.png"), "a");
    EXPECT_FALSE(fs::exists(folder + ".bak/stale.png"));

    // The setting is read at each decision; a skipped target gets no backup.
    SetBackupFile(false);
    fs::remove(existing + ".bak");
    EXPECT_TRUE(rules.CanWriteFile(existing, true, false, false));
    SetBackupFile(true);
    EXPECT_FALSE(rules.CanWriteFile(existing, false, false, false));
    EXPECT_FALSE(fs::exists(existing + ".bak"));
}

class CopyControlsTest : public OverwriteRulesTest {
protected:
    void SetUp() override {
        OverwriteRulesTest::SetUp();
        project = std::make_shared<AGP>();
        project->AddProj("Shop");
        project->SetDestination(dest.path().string());
    }
    AGPControl& Add(std::string_view id, std::string_view type, std::string_view ifolder, std::string_view ifiles,
                    std::string_view ofolder) {
        AGPControl control;
        control.CtrlID = id;
        control.CtrlType = type;
        control.CtrlIFolder = ifolder;
        control.CtrlIFiles = ifiles;
        control.CtrlOFolder = ofolder;
        control.CtrlOverwrite = true;
        project->Controls()->AddControl(control);
        return *project->Controls()->Items().back();
    }
    void RemoveControls() {
        while (project->Controls()->Count() > 0) project->Controls()->DeleteControl(*project->Controls()->Items()[0]);
    }
    bool Copy(bool checkMode = false) {
        auto extensionFolder = [this](const std::string& name) {
            auto resolved = resolvedExtensions.find(name);
            return resolved != resolvedExtensions.end() ? resolved->second : extensions / name;
        };
        return CopyControls(*project, writer, package.path().string(), extensionFolder, status, checkMode);
    }
    std::string Out(std::string_view name) const { return dest / name; }

    test::TempDir package, extensions, dest;
    // Extensions used where they are, as a run records its folder packages.
    std::map<std::string, std::string> resolvedExtensions;
    std::shared_ptr<AGP> project;
    AGPStatus status;
    OutputWriter writer{rules};
};

TEST_F(CopyControlsTest, StarCopiesTheTreeAndStarDotStarReplacesTheFiles) {
    WriteFile(package / "css/site.css", "site");
    WriteFile(package / "css/themes/dark.css", "dark");
    WriteFile(Out("css/custom.css"), "mine");
    WriteFile(package / "js/app.js", "app");
    WriteFile(package / "js/lib/x.js", "x");
    WriteFile(Out("js/old.js"), "old");
    WriteFile(package / "img/logo.png", "new");
    WriteFile(Out("img/logo.png"), "kept");
    Add("css", "copy", "css\\", "*", "css");
    Add("img", "copy", "img\\", "*", "img").CtrlOverwrite = false;
    Add("js", "copy", "js\\", "*.*", "js");

    ASSERT_TRUE(Copy()) << Engine().ProjErr;
    EXPECT_EQ(ReadFile(Out("css/site.css")), "site");
    EXPECT_EQ(ReadFile(Out("css/themes/dark.css")), "dark");
    EXPECT_EQ(ReadFile(Out("css/custom.css")), "mine");
    EXPECT_EQ(ReadFile(Out("js/app.js")), "app");
    EXPECT_FALSE(fs::exists(Out("js/old.js")));
    EXPECT_FALSE(fs::exists(Out("js/lib")));
    // No temporary files are left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(Out("js")), fs::directory_iterator()), 1);
    // "*" obeys the control's overwrite flag without asking.
    EXPECT_EQ(ReadFile(Out("img/logo.png")), "kept");
    EXPECT_TRUE(prompter->Asked().empty());
}

TEST_F(CopyControlsTest, ListedFilesAskAndFindNamesInAnotherCase) {
    WriteFile(package / "Scripts/Common.js", "common");
    WriteFile(package / "Scripts/help.txt", "help");
    WriteFile(Out("help.txt"), "old help");
    Add("common", "copy", "scripts\\", "common.JS, help.txt", "");
    Answer("skip");

    ASSERT_TRUE(Copy()) << Engine().ProjErr;
    EXPECT_EQ(ReadFile(Out("common.JS")), "common");
    EXPECT_EQ(ReadFile(Out("help.txt")), "old help");
    ASSERT_EQ(prompter->Asked().size(), 1u);
    EXPECT_EQ(prompter->Asked()[0].message, "File " + Out("help.txt") + " already exists!");
}

TEST_F(CopyControlsTest, ControlNamesTheTargetAndOnlyControlsWhoseConditionHoldsCopy) {
    WriteFile(package / "tpl/settings.dist", "cfg");
    AGPControl& named = Add("cfg", "copy", "tpl\\", "settings.dist", "conf");
    named.CtrlOFile = "settings";
    named.CtrlOExt = "ini";
    Add("never", "copy", "tpl\\", "settings.dist", "never").CtrlCond = "ctrl/ctrlid/eq/other";
    Add("shop", "copy", "tpl\\", "settings.dist", "shop").CtrlCond = "proj/ProjName/eq/Shop";
    ASSERT_TRUE(Copy()) << Engine().ProjErr;
    EXPECT_EQ(ReadFile(Out("conf/settings.ini")), "cfg");
    EXPECT_FALSE(fs::exists(Out("never")));
    EXPECT_EQ(ReadFile(Out("shop/settings.dist")), "cfg");
}

TEST_F(CopyControlsTest, MissingSourcesEndTheRun) {
    WriteFile(package / "a.css", "a");
    Add("files", "copy", "\\", "a.css,b.css", "");
    EXPECT_FALSE(Copy());
    EXPECT_EQ(Engine().ProjErr, "Velmora: Source file does not exist - \"" + package.path().generic_string() +
                                    "/b.css\"! Check if correct template.");
    // Nothing of the control is copied once one of its files is missing.
    EXPECT_FALSE(fs::exists(Out("a.css")));

    RemoveControls();
    Add("pics", "folder", "pictures\\", "", "pics");
    EXPECT_FALSE(Copy(true));
    EXPECT_EQ(Engine().ProjErr, "Velmora: Source folder does not exist - \"" + package.path().generic_string() +
                                    "/pictures\"! Check if correct template.");
}

TEST_F(CopyControlsTest, FolderControlsAndExtensions) {
    WriteFile(package / "images/a.png", "a");
    WriteFile(package / "images/sub/b.png", "b");
    // An unpacked extension's folder may be spelt in another letter case than the extension.
    WriteFile(extensions / "Charts/files/chart.js", "chart");
    Add("images", "folder", "images\\", "", "images");
    Add("chart", "copy", "files\\", "chart.js", "js").CtrlExt = "charts";

    ASSERT_TRUE(Copy(true));
    EXPECT_FALSE(fs::exists(Out("images")));
    EXPECT_FALSE(fs::exists(Out("js")));

    ASSERT_TRUE(Copy()) << Engine().ProjErr;
    EXPECT_EQ(ReadFile(Out("images/sub/b.png")), "b");
    EXPECT_EQ(ReadFile(Out("js/chart.js")), "chart");

    // An existing folder is replaced without a question unless the control forbids it.
    WriteFile(package / "images/a.png", "a2");
    project->Controls()->Item(Variant("images"))->CtrlOverwrite = false;
    ASSERT_TRUE(Copy());
    EXPECT_EQ(ReadFile(Out("images/a.png")), "a");
    project->Controls()->Item(Variant("images"))->CtrlOverwrite = true;
    ASSERT_TRUE(Copy());
    EXPECT_EQ(ReadFile(Out("images/a.png")), "a2");
    for (const auto& asked : prompter->Asked()) EXPECT_EQ(asked.id, "overwrite-file");
}

TEST_F(CopyControlsTest, FolderPackageExtensionsAreReadWhereTheyAre) {
    test::TempDir elsewhere;
    resolvedExtensions["grid"] = elsewhere / "Grid";
    // A missing source is reported where the extension's folder is.
    Add("gridcss", "copy", "css\\", "grid.css", "css").CtrlExt = "grid";
    EXPECT_FALSE(Copy(true));
    EXPECT_NE(Engine().ProjErr.find(elsewhere.path().generic_string() + "/Grid/css/grid.css"), std::string::npos)
        << Engine().ProjErr;

    // The run knows no folder for the extension at all.
    resolvedExtensions["grid"] = "";
    Engine().ProjErr.clear();
    EXPECT_FALSE(Copy(true));
    EXPECT_EQ(Engine().ProjErr, "Velmora: No folder for extension 'grid' of control 'gridcss'. Generation aborted.");
}

TEST_F(CopyControlsTest, TargetsOutsideTheDestinationAbort) {
    test::TempDir elsewhere;
    WriteFile(package / "x.txt", "x");
    fs::create_symlink(elsewhere.path(), Out("linked"));
    for (std::string_view ofolder : {"../escape", "/tmp", "linked"}) {
        RemoveControls();
        Add("x", "copy", "\\", "x.txt", ofolder);
        Engine().ProjErr.clear();
        EXPECT_FALSE(Copy()) << ofolder;
        EXPECT_NE(Engine().ProjErr.find("Control 'x' would write outside the destination folder"), std::string::npos)
            << ofolder;
    }
    EXPECT_TRUE(fs::is_empty(elsewhere.path()));
    EXPECT_FALSE(fs::exists(dest.path().parent_path() / "escape"));

    // A link inside a copied tree is caught as well.
    WriteFile(package / "tree/linked/y.txt", "y");
    RemoveControls();
    Add("tree", "copy", "tree\\", "*", "");
    EXPECT_FALSE(Copy());
    EXPECT_TRUE(fs::is_empty(elsewhere.path()));
}

TEST_F(CopyControlsTest, CancelStopsLaterControls) {
    WriteFile(package / "a.txt", "a");
    WriteFile(Out("a.txt"), "old");
    Add("a", "copy", "\\", "a.txt", "");
    Add("b", "copy", "\\", "a.txt", "b");
    Answer("cancel");
    EXPECT_FALSE(Copy());
    EXPECT_EQ(Engine().ProjErr, "Generation cancelled by user!");
    EXPECT_FALSE(fs::exists(Out("b")));
}

}  // namespace
}  // namespace velmora
