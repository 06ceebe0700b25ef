// Model objects that exist once per process and are shared by every root object.
#pragma once

#include <memory>

#include "model/code_base.h"
#include "model/keyword.h"

namespace velmora {

AGPKeyword& Keywords();
AGPCodeBase& CodeBase();
std::shared_ptr<AGPKeyword> SharedKeywords();
std::shared_ptr<AGPCodeBase> SharedCodeBase();

}  // namespace velmora
