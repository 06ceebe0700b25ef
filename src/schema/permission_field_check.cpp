#include "schema/permission_field_check.h"

#include <memory>
#include <optional>

#include "model/project/agp.h"
#include "model/entities/database.h"
#include "platform/prompter.h"
#include "schema/text_column.h"

namespace velmora {
namespace {

constexpr std::string_view kManualUpdate =
    "Please update the User level permssion table name field size to 255 manually! Generation aborted!";

std::string TooSmallQuestion(std::string_view field, std::int32_t size) {
    return "Field size of User level permission table name field [" + std::string(field) + "] must be >= " +
           std::to_string(kPermissionFieldMinSize) + ". Current field size is " + std::to_string(size) +
           ". Update now?";
}

std::string WidenFailed(std::string_view description) {
    return "Unable to change field size automatically. Error description: " + std::string(description) +
           ". Please perform the action manually! Generation aborted!";
}

std::string SizeUnreadable(std::string_view field, std::string_view description) {
    return "Unable to read the field size of User level permission table name field [" + std::string(field) +
           "]. Error description: " + std::string(description) + ". Generation aborted!";
}

}  // namespace

std::string CheckPermissionField(std::string_view field, TextColumn& column) {
    // SQLite keeps texts of any length whatever the declared size, and cannot alter a column's
    // type: nothing to check there.
    if (!column.SizeEnforced()) return {};
    std::string error;
    std::optional<std::int32_t> size = column.DeclaredSize(error);
    if (!size) return SizeUnreadable(field, error);
    if (*size >= kPermissionFieldMinSize) return {};
    Question question{std::string(kPermissionFieldSizeQuestion), TooSmallQuestion(field, *size), {}, Buttons::YesNo,
                      {}, "no"};
    if (!Ask(question).Is("yes")) return std::string(kManualUpdate);
    if (!column.Widen(kPermissionFieldMinSize, error)) return WidenFailed(error);
    return {};
}

std::string CheckPermissionField(AGP& project) {
    auto database = project.DB();
    if (!database || !database->UseDynamicUserLevel() || database->UserLevelPrivTbl().empty()) return {};
    std::string field = database->UserLevelPrivTblNameFld();
    std::unique_ptr<TextColumn> column = ProjectTextColumn(project, database->UserLevelPrivTbl(), field);
    return CheckPermissionField(field, *column);
}

}  // namespace velmora
