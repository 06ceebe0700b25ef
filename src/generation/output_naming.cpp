#include "generation/output_naming.h"

#include <sys/stat.h>

#include <filesystem>
#include <mutex>
#include <unordered_map>

#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace fs = std::filesystem;
namespace {

// The canonical form of an existing folder, kept while the path names the same folder (device and
// inode), so that a run writing many files into a few folders resolves each folder once. A
// symbolic link put in place of the folder, or of a folder above it, names another folder.
fs::path CanonicalFolder(const fs::path& folder, std::error_code& ec) {
    struct Known {
        dev_t device;
        ino_t inode;
        fs::path canonical;
    };
    static std::mutex lock;
    static std::unordered_map<std::string, Known> known;
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return fs::weakly_canonical(folder, ec);
    std::lock_guard guard(lock);
    auto found = known.find(folder.string());
    if (found != known.end() && found->second.device == info.st_dev && found->second.inode == info.st_ino)
        return found->second.canonical;
    fs::path canonical = fs::weakly_canonical(folder, ec);
    if (!ec) known[folder.string()] = {info.st_dev, info.st_ino, canonical};
    return canonical;
}

// weakly_canonical, with the folder part resolved through CanonicalFolder; a path that is itself a
// symbolic link is resolved whole.
fs::path CanonicalPath(const fs::path& path, std::error_code& ec) {
    struct stat info {};
    if (!path.has_parent_path() || (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)))
        return fs::weakly_canonical(path, ec);
    fs::path folder = CanonicalFolder(path.parent_path(), ec);
    return ec ? folder : (folder / path.filename()).lexically_normal();
}

std::string Slashes(std::string_view text) { return ReplaceAll(text, "\\", "/"); }

// The page name joined with the object names under the project's naming scheme.
std::string Compose(const AGP& project, std::string_view first, std::string_view second, std::string_view page) {
    std::string stem(first);
    if (!second.empty()) {
        stem += "_";
        stem += second;
    }
    std::string affix = project.OutputNameExt();
    std::string scheme = ToLowerAscii(project.OutputNameType());
    std::string name;
    if (scheme == "prefix") {
        name = affix + stem + std::string(page);
    } else if (scheme == "infix") {
        name = stem.empty() ? std::string(page) : stem + affix + std::string(page);
    } else if (scheme == "suffix") {
        name = stem + std::string(page) + affix;
    } else {
        name = stem + std::string(page);
    }
    return project.OutputNameLCase() ? FoldCase(name) : name;
}

// `below` placed under `above`, one "/" between them.
std::string JoinFolders(std::string_view above, std::string_view below) {
    while (!above.empty() && above.back() == '/') above.remove_suffix(1);
    while (!below.empty() && below.front() == '/') below.remove_prefix(1);
    if (above.empty()) return std::string(below);
    if (below.empty()) return std::string(above);
    return std::string(above) + "/" + std::string(below);
}

std::string WithoutTrailingSlashes(std::string text) {
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

// Whether `inner` is `outer` or lies below it; both absolute and normalised.
bool IsWithin(const fs::path& inner, const fs::path& outer) {
    fs::path a(WithoutTrailingSlashes(inner.generic_string()));
    fs::path b(WithoutTrailingSlashes(outer.generic_string()));
    auto at = a.begin();
    for (auto bt = b.begin(); bt != b.end(); ++bt, ++at) {
        if (at == a.end() || *at != *bt) return false;
    }
    return true;
}

bool OutsideDestination(const AGPControl& control, const std::string& path) {
    return Fail(ProductMessage("Control '" + control.CtrlID + "' would write outside the destination folder: " +
                               path + ". Generation aborted."));
}

}  // namespace

std::string OutputFileName(const AGP& project, const AGPControl& control, std::string_view objectName,
                           std::string_view secondName, std::string_view tableName) {
    std::string extension = control.CtrlOExt;
    std::string lowerExtension = ToLowerAscii(extension);
    if (lowerExtension == "*" || lowerExtension == "php") {
        extension = project.Ext();
        if (extension.empty()) extension = "php";
    }

    bool lowerCase = project.OutputNameLCase();
    std::string type = ToLowerAscii(control.CtrlType);
    std::string base;
    if (type == "other") {
        base = Compose(project, {}, {}, control.CtrlOFile);
    } else if ((type == "table" || type == "report") && control.CtrlID == "custom") {
        // A custom page carries the table's own name, without an extension.
        base = tableName.empty() ? std::string(objectName) : std::string(tableName);
        if (lowerCase) base = FoldCase(base);
        extension.clear();
    } else if (type == "table" || type == "report") {
        base = Compose(project, objectName, {}, control.CtrlOFile);
    } else if (type == "field") {
        base = Compose(project, objectName, secondName, control.CtrlOFile);
    } else {
        base = type == "copy" && control.CtrlOFile.empty() ? control.CtrlIFiles : control.CtrlOFile;
        if (lowerCase) {
            base = FoldCase(base);
            extension = FoldCase(extension);
        }
    }

    std::string name = extension.empty() ? base : base + "." + extension;
    if (name.find('*') != std::string::npos) {
        std::string defaultPage = project.DefaultPage();
        name = defaultPage.empty() ? ReplaceAll(name, "*", "index") : defaultPage;
    }
    return name;
}

std::string OutputFolder(const AGP& project, const AGPControls& controls, const AGPControl& control) {
    std::string destination = Slashes(project.Destination());
    if (destination.empty()) return {};

    std::string folder = Slashes(control.CtrlOFolder);
    if (!control.CtrlOFolderID.empty()) {
        for (const auto& candidate : controls.Items()) {
            if (ToLowerAscii(candidate->CtrlType) == "folder" &&
                EqualsNoCase(candidate->CtrlID, control.CtrlOFolderID)) {
                folder = JoinFolders(Slashes(candidate->CtrlOFolder), folder);
                break;
            }
        }
    }

    std::error_code ec;
    fs::path root = fs::absolute(fs::path(destination), ec);
    if (ec) root = fs::path(destination);
    std::string_view relative = folder;
    if (relative.starts_with("~/")) {
        relative.remove_prefix(2);
        fs::path appRoot(Slashes(project.AppRootFolder()));
        root = appRoot.is_absolute() ? appRoot : root / appRoot;
    }
    fs::path full = fs::path(relative).is_absolute() ? fs::path(relative) : root / fs::path(relative);
    std::string result = full.lexically_normal().generic_string();
    if (result.empty() || result.back() != '/') result += '/';
    return result;
}

bool ResolveOutputPath(const AGP& project, const AGPControl& control, std::string_view folder,
                       std::string_view fileName, std::string& path) {
    path.clear();
    std::string destination = Slashes(project.Destination());
    if (destination.empty()) {
        return Fail(ProductMessage("Control '" + control.CtrlID +
                                   "' has no destination folder to write to. Generation aborted."));
    }

    std::string joined = Slashes(folder);
    std::string name = Slashes(fileName);
    if (!name.empty()) joined = joined.empty() ? name : JoinFolders(joined, name);

    std::error_code ec;
    fs::path target = fs::absolute(fs::path(joined), ec).lexically_normal();
    if (ec) return OutsideDestination(control, joined);
    std::string shown = WithoutTrailingSlashes(target.generic_string());

    fs::path destinationPath = fs::absolute(fs::path(destination), ec).lexically_normal();
    if (ec) return OutsideDestination(control, shown);
    // Symbolic links are followed on both sides, so a linked folder pointing elsewhere is caught.
    fs::path realDestination = CanonicalPath(destinationPath, ec);
    if (ec) realDestination = destinationPath;
    fs::path realTarget = CanonicalPath(target, ec);
    if (ec || !IsWithin(realTarget, realDestination)) return OutsideDestination(control, shown);

    path = shown;
    return true;
}

}  // namespace velmora
