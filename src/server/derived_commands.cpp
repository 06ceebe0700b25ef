// Commands that add what a project derives from its database: custom views, custom fields, link
// tables and reports. Each reads the project, changes it and saves it once; a refused change
// leaves the file as it was.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <iostream>

#include "model/project/agp.h"
#include "model/entities/chart.h"
#include "model/entities/charts.h"
#include "model/entities/trend.h"
#include "model/core/data_types.h"
#include "model/entities/database.h"
#include "model/entities/databases.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "persistence/project_reader.h"
#include "persistence/project_writer.h"
#include "schema/derived_tables.h"
#include "server/commands.h"
#include "support/convert.h"
#include "support/text.h"

namespace velmora::cli {
namespace {

void PrintError(AGP& project) {
    std::cerr << project.ProjErr() << '\n';
    if (!project.ProjErrDb().empty() && project.ProjErr().find(project.ProjErrDb()) == std::string::npos)
        std::cerr << project.ProjErrDb() << '\n';
}

// Loads `file`, runs `change` and saves; `change` returns the line to print, or nullopt with
// ProjErr set.
int ChangeProject(const std::string& file, const std::function<std::optional<std::string>(AGP&)>& change) {
    AGP project;
    if (!Load(project, file, false)) {
        PrintError(project);
        return kExitFailure;
    }
    if (!project.DB()) {
        std::cerr << "The project " << file << " has no database\n";
        return kExitFailure;
    }
    std::optional<std::string> done = change(project);
    if (!done) {
        PrintError(project);
        return kExitFailure;
    }
    if (!Save(project, file)) {
        PrintError(project);
        return kExitFailure;
    }
    std::cout << *done << '\n';
    return kExitOk;
}

std::string FieldCount(AGP& project, const std::string& table) {
    auto found = project.DB()->Tables()->Find(Variant(table));
    return std::to_string(found ? found->Fields()->Count() : 0) + " fields";
}

// A linked database the project already reads from the same place, so that tables linked one by
// one share it.
std::string SameLinkDatabase(AGP& project, const LinkDbArgs& args) {
    for (const auto& link : project.LINKDBS()->Items()) {
        bool sameType = EqualsNoCase(link->DBType(), args.sDbType);
        bool samePlace = args.sHost.empty() ? (!args.sPhyPath.empty() ? link->DBPhyPath() == args.sPhyPath
                                                                      : link->DBConnstr() == args.sConnStr)
                                            : link->DBHost() == args.sHost && link->DBPort() == args.sPort &&
                                                  link->DBName() == args.sDbName && link->DBUID() == args.sUID;
        if (sameType && samePlace) return link->DBID();
    }
    return {};
}

}  // namespace

int AddView(const std::string& file, const std::string& name, const std::string& sql, bool copySettings) {
    return ChangeProject(file, [&](AGP& project) -> std::optional<std::string> {
        if (!LoadCustomView(project, name, sql, copySettings)) return std::nullopt;
        auto view = project.DB()->Tables()->Find(Variant(name));
        NewTablePages(*view);
        if (!view->TblCustomError().empty())
            return "Custom view " + name + " added, but its SQL failed: " + view->TblCustomError();
        return "Custom view " + name + ": " + FieldCount(project, name);
    });
}

int AddField(const std::string& file, const std::string& table, const std::string& name, const std::string& sql) {
    return ChangeProject(file, [&](AGP& project) -> std::optional<std::string> {
        auto found = project.DB()->Tables()->Find(Variant(table));
        auto field = found ? found->Fields()->Find(Variant(name)) : nullptr;
        bool changed = field && field->FldIsCustom();
        bool done = changed ? ChangeCustomField(project, table, name, sql) : LoadCustomField(project, table, name, sql);
        if (!done) return std::nullopt;
        auto computed = found->Fields()->Find(Variant(name));
        computed->SetFldBasicSearch(FldTypeCategory(computed->FldType()) == kCatString);
        return std::string(changed ? "Changed" : "Added") + " custom field " + table + "." + name;
    });
}

int RemoveField(const std::string& file, const std::string& table, const std::string& name) {
    return ChangeProject(file, [&](AGP& project) -> std::optional<std::string> {
        if (!UnloadCustomField(project, table, name)) return std::nullopt;
        return "Removed custom field " + table + "." + name;
    });
}

int LinkTable(const std::string& file, const DatabaseOptions& db, const std::string& table, const std::string& as) {
    if (db.type.empty()) {
        std::cerr << "Name the linked database with --db TYPE and its options\n";
        return kExitUsage;
    }
    LinkDbArgs args = DatabaseArgsOf(db);
    std::string projName = as.empty() ? table : as;
    return ChangeProject(file, [&](AGP& project) -> std::optional<std::string> {
        std::string id = SameLinkDatabase(project, args);
        bool added = id.empty();
        if (added) id = LoadLinkDB(project, args);
        if (id.empty()) return std::nullopt;
        if (!LoadLinkTable(project, id, table, projName)) {
            std::string error = project.ProjErr();
            if (added) UnloadLinkDB(project, id);
            project.SetProjErr(error + ": " + table);
            return std::nullopt;
        }
        NewTablePages(*project.DB()->Tables()->Find(Variant(projName)));
        return "Link table " + projName + " (" + id + "): " + FieldCount(project, projName);
    });
}

int AddReport(const std::string& file, const std::string& name, const std::string& from) {
    return ChangeProject(file, [&](AGP& project) -> std::optional<std::string> {
        if (!LoadReport(project, name, from)) return std::nullopt;
        return "Report " + name + " on " + from + ": " + FieldCount(project, name);
    });
}

int AddChart(const ChartOptions& options) {
    static const std::vector<std::string> kTypes{"bar", "line", "pie", "area"};
    static const std::vector<std::string> kSummaries{"SUM", "COUNT", "AVG", "MIN", "MAX"};
    auto type = std::find(kTypes.begin(), kTypes.end(), ToLowerAscii(options.type));
    std::string summary = ToUpperAscii(options.summary);
    if (type == kTypes.end() || std::find(kSummaries.begin(), kSummaries.end(), summary) == kSummaries.end()) {
        std::cerr << "Chart type is bar, line, pie or area; summary is SUM, COUNT, AVG, MIN or MAX\n";
        return kExitUsage;
    }
    std::vector<std::pair<double, std::string>> trends;
    for (const std::string& trend : options.trends) {
        std::size_t equals = trend.find('=');
        auto value = ParseNumber(trend.substr(0, equals));
        if (!value) {
            std::cerr << "A trend line is VALUE or VALUE=CAPTION, not " << trend << "\n";
            return kExitUsage;
        }
        trends.emplace_back(*value, equals == std::string::npos ? std::string() : trend.substr(equals + 1));
    }
    return ChangeProject(options.file, [&](AGP& project) -> std::optional<std::string> {
        auto refuse = [&](std::string message) {
            project.SetProjErr(std::move(message));
            return std::optional<std::string>();
        };
        auto table = project.DB()->Tables()->Find(Variant(options.table));
        if (!table) return refuse("The project has no table " + options.table);
        for (const std::string& field : {options.x, options.y}) {
            if (!field.empty() && !table->Fields()->FieldExist(Variant(field)))
                return refuse("Table " + options.table + " has no field " + field);
        }
        auto charts = table->Charts();
        if (!charts->Add(table->TblName(), options.name))
            return refuse("Table " + options.table + " has a chart " + options.name);
        auto chart = charts->Find(Variant(options.name));
        chart->SetChartCaption(options.name);
        chart->SetChartXFldName(options.x);
        chart->SetChartYFldName(options.y);
        chart->SetChartType(static_cast<std::int32_t>(type - kTypes.begin()) + 1);
        chart->SetChartSummaryType(summary);
        chart->SetShowChart(true);
        for (std::size_t i = 0; i < trends.size(); ++i) {
            std::string name = "Trend" + std::to_string(i + 1);
            chart->Trendlines()->Add(name);
            auto line = chart->Trendlines()->Find(Variant(name));
            line->SetTrendShow(true);
            line->SetTrendStartValue(trends[i].first);
            line->SetTrendDisplayValue(trends[i].second);
        }
        return "Chart " + options.name + " on " + options.table + " (" + *type + ")";
    });
}

}  // namespace velmora::cli
