// Output names and folders of the controls of a template package, and the guard that keeps every
// output inside the project's destination folder. Paths use "/"; values taken from the control
// file or the project may use "\" and are converted.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

class AGP;
class AGPControl;
class AGPControls;

// The output file name of a control: for a table or report page `objectName` is the table's
// variable name and `tableName` its own name (the control id "custom" is named after the table
// itself, falling back to `objectName` when `tableName` is empty); for a field page
// `secondName` is the field's FldParm; project pages need neither. Follows the project's
// OutputNameType, OutputNameExt, OutputNameLCase, Ext and DefaultPage.
std::string OutputFileName(const AGP& project, const AGPControl& control, std::string_view objectName,
                           std::string_view secondName = {}, std::string_view tableName = {});

// The absolute folder a control writes to, ending in "/". With CtrlOFolderID it is the folder of
// the "folder" control of that id (ids compared without regard to case) with the control's own
// CtrlOFolder below it. A folder beginning "~/" (or "~\") lies below AppRootFolder, itself below
// Destination unless absolute; an absolute folder stands as it is; any other lies below
// Destination. Empty when the project has no Destination.
std::string OutputFolder(const AGP& project, const AGPControls& controls, const AGPControl& control);

// `folder` + `fileName` (an empty name stands for the folder itself) as a normalised absolute
// path in `path`, provided it stays inside the project's Destination once ".." is resolved and
// the symbolic links of the existing part of the path are followed. False, with ProjErr naming
// the control and the path, when it would leave the destination or no destination is set.
bool ResolveOutputPath(const AGP& project, const AGPControl& control, std::string_view folder,
                       std::string_view fileName, std::string& path);

}  // namespace velmora
