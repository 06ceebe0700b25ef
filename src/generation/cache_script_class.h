// The generation cache as scripts and RPC clients see it (new AGPCache()).
#pragma once

#include "template/script_bindings.h"

namespace velmora {

void BindGenerationCache(ScriptClassMap& classes);

}  // namespace velmora
