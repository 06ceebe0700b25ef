// Numbered backup copies of a project file, kept before each save.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The name of backup number n of a file: "Orders.vlp" gives "Orders(3).vlp", "Orders" gives
// "Orders(3)".
std::string NumberedBackupName(std::string_view fileName, int n);

// Copies an existing file into backupFolder (created when missing) under the lowest free number,
// then keeps at most maxCount copies: when there are more, the copies move down over the lower
// numbers, so that the oldest go and the newest has the highest number. Nothing happens when the
// file does not exist. False, with the reason in `error`, when the copy could not be made.
bool BackupProjectFile(std::string_view projFile, std::string_view backupFolder, int maxCount,
                       std::string& error);

}  // namespace velmora
