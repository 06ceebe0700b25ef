#include <iostream>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "model/agp.h"
#include "model/database.h"
#include "model/fields.h"
#include "model/table.h"
#include "model/tables.h"
#include "persistence/project_reader.h"
#include "persistence/project_writer.h"
#include "server/commands.h"

namespace velmora::cli {

int NewProject(const std::string& name, const std::string& file) {
    AGP project;
    project.AddProj(name);
    std::string target = file.empty() ? project.ProjVar() + ".vlp" : file;
    if (!Save(project, target)) {
        std::cerr << project.ProjErr() << '\n';
        return kExitFailure;
    }
    std::cout << target << '\n';
    return kExitOk;
}

int ShowProject(const std::string& file, bool json) {
    AGP project;
    if (!Load(project, file, false)) {
        std::cerr << project.ProjErr() << '\n';
        return kExitFailure;
    }
    nlohmann::ordered_json out{{"ProjName", project.ProjName()}, {"ProjID", project.ProjID()}, {"tables", nlohmann::ordered_json::array()}};
    if (auto db = project.DB()) {
        out["DBName"] = db->DBName();
        for (const auto& table : db->Tables()->Items())
            out["tables"].push_back({{"TblName", table->TblName()}, {"TblType", table->TblType()}, {"fields", table->Fields()->Count()}});
    }
    if (json) {
        std::cout << out.dump(2) << '\n';
        return kExitOk;
    }
    std::cout << fmt::format("Project {} {}\n", project.ProjName(), project.ProjID());
    if (out.contains("DBName")) std::cout << fmt::format("Database {}\n", out["DBName"].get<std::string>());
    for (const auto& table : out["tables"])
        std::cout << fmt::format("  {:<30} {:<8} {} fields\n", table["TblName"].get<std::string>(),
                                 table["TblType"].get<std::string>(), table["fields"].get<int>());
    return kExitOk;
}

}  // namespace velmora::cli
