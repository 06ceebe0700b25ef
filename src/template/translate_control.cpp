// Translation of one control of the control file: finding its template text, picking its
// sessions and writing its function into the control's script module.
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "support/convert.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "support/status.h"
#include "support/text.h"
#include "support/text_file.h"
#include "template/file_cache.h"
#include "template/script_files.h"
#include "template/translate.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

bool GeneralFlag(std::string_view name) {
    return ToBoolean(GetRegValue("HKCU", SettingsSection("General"), name)).value_or(false);
}

// The date and time of the session comments, in the engine's English (United States) form.
std::string NowText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    int hour = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    char text[48];
    std::snprintf(text, sizeof text, "%d/%d/%d %d:%02d:%02d %s", local.tm_mon + 1, local.tm_mday,
                  local.tm_year + 1900, hour, local.tm_min, local.tm_sec, local.tm_hour < 12 ? "AM" : "PM");
    return text;
}

// After a template error: the module file shows what was built, ProjErr names the template.
bool AbortAfterTemplateError(std::string_view modulePath, std::string_view built, std::string_view templatePath) {
    std::string error = Engine().ProjErr;
    WriteTextFile(modulePath, built, false);
    Engine().ProjErr = error + ": " + std::string(templatePath);
    return false;
}

}  // namespace

std::string ControlFunctionName(const AGPControl& control) {
    return ReplaceAll("zvEx" + control.CtrlID + control.CtrlTagExt, ".", "_");
}

std::string ResolveTemplateFile(std::string_view CtrlIFiles, std::string_view CtrlExt, const TemplateFolders& folders,
                                AGPStatus* status) {
    std::string folder =
        CtrlExt.empty() ? folders.templateScriptFolder : JoinScriptPath(folders.extensionsFolder, CtrlExt);
    if (CtrlIFiles.find(',') == std::string_view::npos) return OnDiskPath(JoinScriptPath(folder, CtrlIFiles));

    std::string merged;
    for (const std::string& name : Split(CtrlIFiles, ',')) {
        std::string path = OnDiskPath(JoinScriptPath(folder, name));
        std::error_code ec;
        if (!fs::exists(path, ec)) {
            if (status != nullptr) status->CloseStatus();
            continue;
        }
        merged += ReadTextFile(path);
    }
    std::string target = JoinScriptPath(folders.cacheFolder, "~tmp.tpl");
    // A merge that cannot be written must not leave an earlier control's merge in its place.
    if (!WriteTextFile(target, merged, false)) {
        std::error_code ec;
        fs::remove(target, ec);
    }
    return target;
}

bool Translator::TranslateControl(AGP& agp, AGPControl& control, std::string_view modulePath,
                                  const TemplateFolders& folders) {
    bool showSession = GeneralFlag("ShowSession");
    bool showSessionTime = GeneralFlag("ShowSessionTime");

    std::string templatePath = ResolveTemplateFile(control.CtrlIFiles, control.CtrlExt, folders, status_);
    std::error_code ec;
    if (!fs::is_regular_file(templatePath, ec))
        return Fail("Error in merging " + control.CtrlIFiles + ". Generation aborted.");
    std::string text = ReadTextFile(templatePath);
    Reset();

    std::shared_ptr<AGPSessions> sessions = control.Sessions();
    if (sessions->Count() == 0) {
        TranslateTemplate(text);
        if (!Engine().ProjErr.empty())
            return AbortAfterTemplateError(modulePath, text + Engine().ProjErr + "\r\n", templatePath);
    } else {
        for (std::int32_t i = 1; i <= sessions->Count(); ++i) {
            Refresh();
            std::shared_ptr<AGPSession> session = sessions->Item(i);
            if (!session || !agp.EvaluateCondition(session->SessCond)) {
                // A condition that could not be evaluated has left its reason in ProjErr.
                if (!Engine().ProjErr.empty()) return AbortAfterTemplateError(modulePath, Body(), templatePath);
                continue;
            }
            std::vector<std::string> pieces;
            std::string type = ToLowerAscii(session->SessType);
            if (type == "include") {
                pieces.push_back("<!--##=SYSTEMFUNCTIONS.IncludeFile(\"" + session->SessValue + "\",\"" +
                                 session->SessParm + "\")##-->\r\n");
            } else if (type == "key") {
                std::string_view file = session->SessIFile.empty() ? control.CtrlIFiles : session->SessIFile;
                pieces = ExpandSession(FileCache(), file, session->SessValue, status_);
            }

            std::string stamp;
            if (showSession) {
                stamp = " " + session->SessValue + " (" + session->SessType + ", " + NowText() + ")\r\n";
                body_.Append("// *** Start Session" + stamp);
            }
            for (const std::string& piece : pieces) TranslateTemplate(piece);
            if (showSession) body_.Append("// *** End Session" + stamp);
            if (showSessionTime) {
                body_.Append("var zvStopTime = new Date();\r\nzvSB.Append(\"//*** " + session->SessValue +
                             ": \" + (zvStopTime.getTime()-zvStartTime.getTime()) + \" ms\");\r\n");
            }
            if (!Engine().ProjErr.empty()) return AbortAfterTemplateError(modulePath, Body(), templatePath);
        }
        AdvanceProgress();
    }
    return WriteTextFile(modulePath, ControlFunction(ControlFunctionName(control), showSessionTime), false);
}

}  // namespace velmora
