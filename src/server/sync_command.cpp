// velmora sync: a project checked against its database, or brought in step with it.
#include <iostream>

#include <nlohmann/json.hpp>

#include "model/project/agp.h"
#include "persistence/project_reader.h"
#include "persistence/project_writer.h"
#include "platform/prompter.h"
#include "schema/schema_sync.h"
#include "server/commands.h"
#include "support/text.h"

namespace velmora::cli {
namespace {

// "TABLE.OLD=NEW" (the table name may hold dots: the last dot before "=" splits) or "OLD=NEW".
bool ParseRename(std::string_view text, bool withTable, std::string& table, std::string& from, std::string& to) {
    std::size_t equals = text.find('=');
    if (equals == std::string_view::npos || equals == 0 || equals + 1 == text.size()) return false;
    std::string_view left = text.substr(0, equals);
    to = std::string(text.substr(equals + 1));
    if (!withTable) {
        from = std::string(left);
        return true;
    }
    std::size_t dot = left.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == left.size()) return false;
    table = std::string(left.substr(0, dot));
    from = std::string(left.substr(dot + 1));
    return true;
}

void PrintChanges(const std::vector<SyncChange>& changes) {
    std::vector<std::string> lines = SyncLogLines(changes, "");
    for (std::size_t i = 3; i < lines.size(); ++i)
        if (!lines[i].empty() && lines[i] != "#")
            std::cout << (lines[i].starts_with("# ") ? lines[i].substr(2) : "  " + lines[i]) << "\n";
}

nlohmann::json ChangesJson(const std::vector<SyncChange>& changes) {
    nlohmann::json list = nlohmann::json::array();
    for (const SyncChange& c : changes) {
        list.push_back({{"action", c.action},
                        {"table", c.table},
                        {"type", c.tableType},
                        {"field", c.field},
                        {"message", c.message},
                        {"old", c.oldValue},
                        {"new", c.newValue}});
    }
    return list;
}

}  // namespace

int Sync(const SyncOptions& options) {
    SyncRenames renames;
    for (const std::string& text : options.renames) {
        std::string table, from, to;
        if (!ParseRename(text, true, table, from, to)) {
            std::cerr << "--rename takes TABLE.OLD=NEW, not " << text << "\n";
            return kExitUsage;
        }
        renames.fields[table].emplace_back(from, to);
    }
    for (const std::string& text : options.tableRenames) {
        std::string table, from, to;
        if (!ParseRename(text, false, table, from, to)) {
            std::cerr << "--rename-table takes OLD=NEW, not " << text << "\n";
            return kExitUsage;
        }
        renames.tables.emplace_back(from, to);
    }
    std::string key = ToLowerAscii(options.key);
    if (!key.empty() && key != "keep" && key != "update") {
        std::cerr << "--key takes keep or update\n";
        return kExitUsage;
    }
    if (!options.answers.empty()) {
        auto prompter = std::make_shared<AnswersFilePrompter>();
        if (!prompter->Load(options.answers)) {
            std::cerr << prompter->LastError() << "\n";
            return kExitUsage;
        }
        SetPrompter(prompter);
    } else if (!key.empty()) {
        auto prompter = std::make_shared<PolicyPrompter>();
        prompter->Set("primary-key", key);
        SetPrompter(prompter);
    }
    // With renames given, the mapping questions are not asked.
    bool renamesGiven = !renames.fields.empty() || !renames.tables.empty();
    SetSyncRenames(std::move(renames));

    AGP project;
    if (!Load(project, options.project, false)) {
        std::cerr << project.ProjErr() << "\n";
        return kExitFailure;
    }
    std::int16_t count = CheckDB(project);
    if (count < 0) {
        std::cerr << project.ProjErr() << "\n";
        return kExitFailure;
    }
    bool looking = options.check || options.dryRun;
    SetSyncLogWriting(!looking);
    // A check shows what a run would do; its questions take their defaults unless answered.
    if (looking && options.answers.empty() && key.empty() && !renamesGiven)
        SetPrompter(std::make_shared<NonInteractivePrompter>());
    bool synced = count == 0 || SynchronizeDB(project, options.links);
    SetSyncLogWriting(true);
    if (!synced) {
        std::cerr << project.ProjErr() << "\n";
        return kExitFailure;
    }
    const std::vector<SyncChange> changes = count == 0 ? std::vector<SyncChange>() : SyncChanges();
    bool saved = false;
    if (!looking && count > 0) {
        if (!Save(project, options.project)) {
            std::cerr << project.ProjErr() << "\n";
            return kExitFailure;
        }
        saved = true;
    }
    if (options.json) {
        nlohmann::json out{
            {"differences", count}, {"changes", ChangesJson(changes)}, {"saved", saved}, {"log", project.SyncLog()}};
        std::cout << out.dump(2) << "\n";
    } else {
        std::cout << count << (count == 1 ? " difference" : " differences") << "\n";
        PrintChanges(changes);
        if (saved)
            std::cout << "Saved " << options.project << (project.SyncLog().empty() ? "" : "; log: " + project.SyncLog())
                      << "\n";
    }
    return options.check && count > 0 ? kExitFailure : kExitOk;
}

}  // namespace velmora::cli
