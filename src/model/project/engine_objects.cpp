#include "model/project/engine_objects.h"

namespace velmora {

std::shared_ptr<AGPKeyword> SharedKeywords() {
    static auto keywords = std::make_shared<AGPKeyword>();
    return keywords;
}

std::shared_ptr<AGPCodeBase> SharedCodeBase() {
    static auto codeBase = std::make_shared<AGPCodeBase>();
    return codeBase;
}

AGPKeyword& Keywords() { return *SharedKeywords(); }
AGPCodeBase& CodeBase() { return *SharedCodeBase(); }

}  // namespace velmora
