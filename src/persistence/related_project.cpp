#include <filesystem>
#include <string>
#include <system_error>

#include "model/project/agp.h"
#include "persistence/project_reader.h"
#include "persistence/related_project.h"
#include "platform/xml.h"
#include "support/convert.h"
#include "support/engine_state.h"
#include "support/guid.h"
#include "support/text.h"
#include "support/text_file.h"

namespace velmora {

namespace {

bool LoadRelated(AGP& proj, XmlDocument& doc, std::string& path) {
    path = proj.AppRelatedProject();
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec) && doc.Load(path);
}

// The related file is the user's too: it is rewritten through the temporary-file writer, and a
// failure there is no failure of this load.
void WriteBack(const std::string& path, const XmlDocument& doc) {
    std::string error = Engine().ProjErr;
    WriteTextFile(path, doc.ToString(), false, "utf-8");
    Engine().ProjErr = std::move(error);
}

}  // namespace

void UpdateRelatedProjectVersion(AGP& proj) {
    XmlDocument doc;
    std::string path;
    if (!LoadRelated(proj, doc, path)) return;
    XmlNode root = doc.DocumentElement();
    std::string version = GetAttr(root, "Version");
    if (!version.empty())
        proj.SetAppCompatVersion(ToInteger(Variant(Split(version, '.').front())).value_or(0));
    const std::string major = std::to_string(kVersionMajor);
    if (GetAttr(root, "AppCompatVersion") == major) return;
    root.SetAttribute("AppCompatVersion", major);
    WriteBack(path, doc);
}

void FillRelatedProjectId(AGP& proj) {
    XmlDocument doc;
    std::string path;
    if (!LoadRelated(proj, doc, path)) return;
    XmlNode root = doc.DocumentElement();
    if (!GetAttr(root, "ProjID").empty()) return;
    root.SetAttribute("ProjID", GetGUID());
    WriteBack(path, doc);
}

}  // namespace velmora
