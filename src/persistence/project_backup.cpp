#include "persistence/project_backup.h"

#include <filesystem>
#include <system_error>

namespace velmora {

namespace fs = std::filesystem;

std::string NumberedBackupName(std::string_view fileName, int n) {
    std::size_t dot = fileName.rfind('.');
    std::string number = "(" + std::to_string(n) + ")";
    if (dot == std::string_view::npos) return std::string(fileName) + number;
    return std::string(fileName.substr(0, dot)) + number + std::string(fileName.substr(dot));
}

bool BackupProjectFile(std::string_view projFile, std::string_view backupFolder, int maxCount,
                       std::string& error) {
    std::error_code ec;
    fs::path source{std::string(projFile)};
    if (!fs::is_regular_file(source, ec)) return true;
    fs::path folder{std::string(backupFolder)};
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) {
        error = "cannot create the backup folder '" + folder.string() + "'";
        return false;
    }
    std::string fileName = source.filename().string();
    auto copyPath = [&](int n) { return folder / NumberedBackupName(fileName, n); };

    int n = 1;
    while (fs::exists(copyPath(n), ec)) ++n;
    if (!fs::copy_file(source, copyPath(n), ec)) {
        std::error_code ignored;
        fs::remove(copyPath(n), ignored);  // a partial copy would pass for a backup
        error = "cannot copy '" + source.string() + "' to '" + copyPath(n).string() + "': " + ec.message();
        return false;
    }
    if (maxCount < 1 || n <= maxCount) return true;
    // Copies 1..n exist; the n - maxCount oldest make room by moving the others down.
    int surplus = n - maxCount;
    for (int i = 1; i <= maxCount; ++i) fs::rename(copyPath(i + surplus), copyPath(i), ec);
    return true;
}

}  // namespace velmora
