// Model objects that exist once per process and are shared by every root object.
#pragma once

#include <memory>

#include "model/project/code_base.h"
#include "model/project/keyword.h"

namespace velmora {

AGPKeyword& Keywords();
AGPCodeBase& CodeBase();
std::shared_ptr<AGPKeyword> SharedKeywords();
std::shared_ptr<AGPCodeBase> SharedCodeBase();

}  // namespace velmora
