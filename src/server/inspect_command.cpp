// velmora inspect: what a project knows about its database, table by table and field by field.
#include <iostream>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "persistence/project_reader.h"
#include "server/commands.h"

namespace velmora::cli {
namespace {

using Json = nlohmann::ordered_json;

// The flags column of a field: P primary key, A auto-increment, R required, U unique, - not supported.
std::string FieldFlags(const AGPField& field) {
    std::string flags;
    if (field.FldIsPrimaryKey()) flags += 'P';
    if (field.FldAutoIncrement()) flags += 'A';
    if (field.FldReq()) flags += 'R';
    if (field.FldUniqueIdx()) flags += 'U';
    if (!field.FldSupport()) flags += '-';
    return flags;
}

Json FieldJson(const AGPField& field) {
    return Json{{"FldName", field.FldName()},
                {"FldType", field.FldType()},
                {"FldTypeName", field.FldTypeName()},
                {"NativeDataType", field.NativeDataType()},
                {"FldSize", field.FldSize()},
                {"FldIsPrimaryKey", field.FldIsPrimaryKey()},
                {"FldAutoIncrement", field.FldAutoIncrement()},
                {"FldReq", field.FldReq()},
                {"FldUniqueIdx", field.FldUniqueIdx()},
                {"FldSupport", field.FldSupport()},
                {"FldDefault", field.FldDefault().ToText()},
                {"FldDbDefault", field.FldDbDefault().ToText()},
                {"FldTagValues", field.FldTagValues()}};
}

Json ProjectJson(AGP& project) {
    Json out{{"ProjName", project.ProjName()}, {"tables", Json::array()}};
    auto database = project.DB();
    if (!database) return out;
    out["database"] = Json{{"DBName", database->DBName()},
                           {"DBType", database->DBType()},
                           {"DBDBMSName", database->DBDBMSName()},
                           {"DBDBMSVer", database->DBDBMSVer()}};
    for (const auto& table : database->Tables()->Items()) {
        Json fields = Json::array();
        for (const auto& field : table->Fields()->Items()) fields.push_back(FieldJson(*field));
        out["tables"].push_back(Json{{"TblName", table->TblName()},
                                     {"TblType", table->TblType()},
                                     {"TblSchema", table->TblSchema()},
                                     {"TblKey", table->TblKey()},
                                     {"TblGen", table->TblGen()},
                                     {"TblLoaded", table->TblLoaded()},
                                     {"TblError", table->TblError()},
                                     {"fields", std::move(fields)}});
    }
    return out;
}

}  // namespace

int InspectProject(const std::string& file, bool json) {
    AGP project;
    if (!Load(project, file, false)) {
        std::cerr << project.ProjErr() << '\n';
        return kExitFailure;
    }
    if (json) {
        std::cout << ProjectJson(project).dump(2) << '\n';
        return kExitOk;
    }
    std::cout << fmt::format("Project {}\n", project.ProjName());
    auto database = project.DB();
    if (!database) return kExitOk;
    std::cout << fmt::format("Database {} ({} {})\n", database->DBName(), database->DBDBMSName(), database->DBDBMSVer());
    std::cout << "Flags: P primary key, A auto-increment, R required, U unique, - not supported\n";
    for (const auto& table : database->Tables()->Items()) {
        std::string schema = table->TblSchema().empty() ? std::string() : table->TblSchema() + ".";
        std::cout << fmt::format("\n{}{} ({}{})\n", schema, table->TblName(), table->TblType(),
                                 table->TblGen() ? "" : ", not generated");
        if (!table->TblError().empty()) std::cout << "  " << table->TblError() << '\n';
        for (const auto& field : table->Fields()->Items()) {
            std::string def = field->FldDbDefault().ToText();
            std::string line = fmt::format("  {:<28} {:<16} {:>4} {:>6} {:<5}{}", field->FldName(),
                                           field->FldTypeName(), field->FldType(), field->FldSize(),
                                           FieldFlags(*field), def.empty() ? std::string() : " default " + def);
            line.erase(line.find_last_not_of(' ') + 1);
            std::cout << line << '\n';
        }
    }
    return kExitOk;
}

}  // namespace velmora::cli
