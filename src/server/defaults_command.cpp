#include <iostream>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "model/project/agp.h"
#include "server/commands.h"

namespace velmora::cli {

int Defaults(bool json) {
    AGP project;
    project.AddProj("Project1");
    if (json) {
        nlohmann::ordered_json out = nlohmann::ordered_json::object();
        for (const auto& entry : project.Properties()->Entries()) out[entry->Name()] = entry->Value().ToText();
        std::cout << out.dump(2) << '\n';
    } else {
        for (const auto& entry : project.Properties()->Entries())
            std::cout << fmt::format("{:<28} {:<8} {}\n", entry->Name(), entry->DataType(), entry->Value().ToText());
    }
    if (!project.ProjErr().empty()) std::cerr << project.ProjErr() << '\n';
    return kExitOk;
}

}  // namespace velmora::cli
