// Dynamic user levels keep each level's permissions by table name, in the name field of the
// user-level permission table (UserLevelPrivTbl, UserLevelPrivTblNameFld). That field must hold
// any table name, 255 characters; before generation its declared size is checked and, when the
// user agrees, widened in the database.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

class AGP;
class TextColumn;

// The question asked when the field is too small; answers "yes" (widen it now) and "no".
inline constexpr std::string_view kPermissionFieldSizeQuestion = "permission-field-size";
inline constexpr std::int32_t kPermissionFieldMinSize = 255;

// Checks the permission table of the project's database when it uses dynamic user levels and
// names one. Empty when generation may go on; else the message it stops with (without the
// product name). Never throws.
std::string CheckPermissionField(AGP& project);
// The same for the name field `field` reached through `column`; asks the current prompter.
std::string CheckPermissionField(std::string_view field, TextColumn& column);

}  // namespace velmora
