// Fuzz target: arbitrary bytes as a template's control file. A load must fail with a verdict
// (error code or ProjErr) or leave controls whose input folders are normalised; evaluating
// their conditions, copying them into another list and deleting their sessions must not crash.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "model/entities/database.h"
#include "model/entities/fields.h"
#include "model/entities/tables.h"
#include "support/engine_state.h"
#include "fuzz_support.h"

using velmora::fuzz::Check;

namespace {

// A project with something current for every kind of condition object, built once.
velmora::AGP& Project() {
    static velmora::AGP project;
    static const bool ready = [] {
        project.SetProjName("demo");
        auto db = project.AddMainDatabase("sales.db");
        db->SetDBVar("sales");
        db->Tables()->Add("Orders");
        db->Tables()->Find(velmora::Variant("Orders"))->Fields()->Add("Orders", "Qty");
        project.SetScriptFunctionRunner([](std::string_view name) {
            return velmora::FunctionOutcome{velmora::FunctionOutcome::Kind::Value, velmora::Variant(name), {}};
        });
        return true;
    }();
    (void)ready;
    return project;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = (velmora::fuzz::PrivateFolder() / "control.xml").string();
    velmora::fuzz::WriteInput(path, data, size);
    velmora::AGP& proj = Project();
    velmora::Engine().ProjErr.clear();
    velmora::SetControlFileError(0);
    velmora::AGPControls& controls = *proj.Controls();
    if (!controls.LoadControls(path, &proj)) {
        Check(velmora::ControlFileError() != 0 || !velmora::Engine().ProjErr.empty());
        return 0;
    }
    Check(velmora::ControlFileError() == 0 && velmora::Engine().ProjErr.empty());

    velmora::AGPControls merged;
    for (std::int32_t i = 1; i <= controls.Count(); ++i) {
        auto control = controls.Item(velmora::Variant(i));
        Check(control && controls.curIndex() == i && controls.Current() == control);
        const std::string& folder = control->CtrlIFolder;
        Check(folder.empty() || (folder.back() == '\\' && folder.find('/') == std::string::npos));
        (void)proj.EvaluateCondition(control->CtrlCond);
        (void)control->CtrlHasHeaderFooter();

        // Only the first of equal ids goes in, with all its sessions.
        bool taken = merged.ControlExist(control->CtrlID);
        Check(merged.AddControl(*control) == !taken);
        Check(merged.ControlExist(control->CtrlID));
        if (!taken) Check(merged.Item(velmora::Variant(merged.Count()))->Sessions()->Count() == control->Sessions()->Count());

        auto sessions = control->Sessions();
        for (std::int32_t s = 1; s <= sessions->Count(); ++s) {
            auto session = sessions->Item(s);
            (void)proj.EvaluateCondition(session->SessCond);
            Check(sessions->SessionExist(session->SessValue));
        }
    }
    while (merged.Count() > 0) {
        std::int32_t before = merged.Count();
        Check(merged.DeleteControl(*merged.Item(velmora::Variant(before))));
        Check(merged.Count() == before - 1);
    }
    return 0;
}
