// The project a project names in AppRelatedProject: the reader takes its compatibility version
// and gives it the identifiers it lacks.
#pragma once

namespace velmora {

class AGP;

// AppCompatVersion from the related file's Version; the related file's own AppCompatVersion
// attribute is set to this engine's major version (and the file written back) when it differs.
void UpdateRelatedProjectVersion(AGP& proj);

// A related file whose root has an empty ProjID gets a new one and is written back as UTF-8.
void FillRelatedProjectId(AGP& proj);

}  // namespace velmora
