#include "model/project/schema_check_hook.h"

namespace velmora {
namespace {

std::function<void(AGP&)>& Check() {
    static std::function<void(AGP&)> check;
    return check;
}

}  // namespace

void SetProjectSchemaCheck(std::function<void(AGP&)> check) { Check() = std::move(check); }

void RunProjectSchemaCheck(AGP& project) {
    if (Check()) Check()(project);
}

}  // namespace velmora
