// velmora get and velmora set: a project's settings read and changed from the command line, on
// the project, a table or a field, for users who do not script.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "persistence/project_reader.h"
#include "persistence/project_writer.h"
#include "server/commands.h"
#include "support/convert.h"
#include "support/text.h"

namespace velmora::cli {
namespace {

// Properties that name an entity key their collections; they change with the schema, not here.
constexpr std::string_view kNames[] = {"TblName", "FldName"};

// The settings of the project, a table or a field, and what to call them in messages.
struct Entity {
    std::shared_ptr<AGProperties> bag;
    std::string shown;
};

// "" is the project, "TABLE" a table, "TABLE.FIELD" a field (the field's name may hold dots).
bool FindEntity(AGP& project, std::string_view path, Entity& entity) {
    if (path.empty()) {
        entity = {project.Properties(), "the project"};
        return true;
    }
    std::size_t dot = path.find('.');
    std::string table(path.substr(0, dot));
    auto tables = project.DB()->Tables();
    if (!tables->TableExist(Variant(table))) {
        std::cerr << "The project has no table " << table << "\n";
        return false;
    }
    auto found = tables->Item(Variant(table));
    if (dot == std::string_view::npos) {
        entity = {found->Properties(), "table " + table};
        return true;
    }
    std::string field(path.substr(dot + 1));
    if (!found->Fields()->FieldExist(Variant(field))) {
        std::cerr << "Table " << table << " has no field " << field << "\n";
        return false;
    }
    entity = {found->Fields()->Item(Variant(field))->Properties(), "field " + table + "." + field};
    return true;
}

// "[TABLE[.FIELD].]Property": the entity's settings and the position of the property in them.
bool FindProperty(AGP& project, std::string_view path, Entity& entity, std::size_t& position) {
    std::size_t dot = path.rfind('.');
    std::string_view owner = dot == std::string_view::npos ? std::string_view() : path.substr(0, dot);
    std::string name(dot == std::string_view::npos ? path : path.substr(dot + 1));
    if (!FindEntity(project, owner, entity)) return false;
    position = entity.bag->IndexOf(name);
    if (position != AGProperties::npos) return true;
    std::cerr << "No setting " << name << " on " << entity.shown << " (velmora get FILE "
              << (owner.empty() ? std::string("TABLE") : std::string(owner)) << " --all lists them)\n";
    return false;
}

bool LoadProject(AGP& project, const std::string& file) {
    if (Load(project, file, false)) return true;
    std::cerr << project.ProjErr() << "\n";
    return false;
}

}  // namespace

int GetProperty(const std::string& file, const std::string& path, bool all) {
    AGP project;
    if (!LoadProject(project, file)) return kExitFailure;
    Entity entity;
    if (all) {
        if (!FindEntity(project, path, entity)) return kExitFailure;
        for (std::size_t i = 0; i < entity.bag->Size(); ++i)
            std::cout << entity.bag->RowAt(i).name << "=" << entity.bag->ValueAt(i).ToText() << "\n";
        return kExitOk;
    }
    std::size_t position = 0;
    if (!FindProperty(project, path, entity, position)) return kExitFailure;
    std::cout << entity.bag->ValueAt(position).ToText() << "\n";
    return kExitOk;
}

int SetProperties(const std::string& file, const std::vector<std::string>& assignments) {
    AGP project;
    if (!LoadProject(project, file)) return kExitFailure;
    // Every assignment is checked before the file is written, so a bad one changes nothing.
    for (const std::string& assignment : assignments) {
        std::size_t equals = assignment.find('=');
        if (equals == std::string::npos || equals == 0) {
            std::cerr << "Expected [TABLE[.FIELD].]Property=Value, got " << assignment << "\n";
            return kExitUsage;
        }
        std::string path = assignment.substr(0, equals);
        std::string text = assignment.substr(equals + 1);
        Entity entity;
        std::size_t position = 0;
        if (!FindProperty(project, path, entity, position)) return kExitFailure;
        const PropertyRow& row = entity.bag->RowAt(position);
        for (std::string_view name : kNames) {
            if (!EqualsNoCase(row.name, name)) continue;
            std::cerr << row.name << " names the " << (name == "TblName" ? "table" : "field")
                      << "; it follows the database\n";
            return kExitFailure;
        }
        Variant value = ConvertTo(Variant(text), row.dataType);
        if (value.IsEmpty() && !text.empty()) {
            std::cerr << "The value " << text << " is not of type " << row.dataType << ", which " << row.name
                      << " on " << entity.shown << " takes\n";
            return kExitFailure;
        }
        entity.bag->SetValueAt(position, std::move(value));
    }
    if (Save(project, file)) return kExitOk;
    std::cerr << project.ProjErr() << "\n";
    return kExitFailure;
}

}  // namespace velmora::cli
