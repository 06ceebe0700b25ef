// The local PostgreSQL and MariaDB servers that scripts/test-servers.sh prepares, and helpers
// for tests that need them. A server that cannot be reached skips its tests, unless CI=true.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "platform/db/catalogue.h"

namespace velmora::test {

inline bool RunningInCi() {
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

// Skips the current test, or fails it in CI, where the servers must be there.
#define SKIP_OR_FAIL(message)                                    \
    do {                                                         \
        if (::velmora::test::RunningInCi()) {                    \
            FAIL() << (message);                                 \
        } else {                                                 \
            GTEST_SKIP() << (message);                           \
        }                                                        \
    } while (false)

inline constexpr const char* kTestLogin = "velmora";

inline db::ConnectOptions PgOptions(const std::string& database) {
    db::ConnectOptions options;
    options.route = db::ConnectOptions::Route::PostgreSql;
    options.host = "127.0.0.1";
    options.port = 5432;
    options.user = kTestLogin;
    options.password = kTestLogin;
    options.database = database;
    return options;
}

inline db::ConnectOptions MySqlOptions(const std::string& database) {
    db::ConnectOptions options = PgOptions(database);
    options.route = db::ConnectOptions::Route::MySql;
    options.port = 3306;
    return options;
}

// Why a catalogue cannot be opened on `options`, or nullopt when it opens.
inline std::optional<db::CatalogueError> OpenFailure(const db::ConnectOptions& options) {
    try {
        db::OpenCatalogue(options);
    } catch (const db::CatalogueError& e) {
        return e;
    }
    return std::nullopt;
}

// Why the server behind `options` cannot be used, or nullopt when it answers. Asked once per
// route (and ODBC connection string) and process.
inline std::optional<std::string> ServerProblem(const db::ConnectOptions& options) {
    static std::map<std::pair<db::ConnectOptions::Route, std::string>, std::optional<std::string>> known;
    auto [found, added] = known.try_emplace({options.route, options.connectionString});
    if (!added) return found->second;
    if (auto error = OpenFailure(options)) {
        found->second = std::string("test server not available (run scripts/test-servers.sh): ") + error->what();
    }
    return found->second;
}

// A fixture whose tests need the server of `options` and its database.
#define REQUIRE_SERVER(options)                                                               \
    do {                                                                                      \
        if (auto problem = ::velmora::test::ServerProblem(options)) SKIP_OR_FAIL(*problem); \
    } while (false)

// Runs set-up statements on a server through a writable catalogue of its own (writing through a
// catalogue is checked in catalogue_execute_test.cpp).
class Session {
public:
    explicit Session(db::ConnectOptions options) {
        options.writable = true;
        catalogue_ = db::OpenCatalogue(options);
    }
    void Run(const std::string& sql) { catalogue_->Execute(sql); }

private:
    std::unique_ptr<db::Catalogue> catalogue_;
};

// A name for an object in a scratch database that no other test process uses at the same time.
inline std::string ScratchName(const std::string& base) { return base + "_" + std::to_string(getpid()); }

// Runs a clean-up when the test leaves, also after a failed assertion.
struct AtExit {
    std::function<void()> run;
    ~AtExit() {
        try {
            run();
        } catch (const std::exception&) {
            // a failed clean-up must not end the test run
        }
    }
};

// The table and column of a read catalogue, by name; fails the test when absent.
inline const db::TableInfo& TableNamed(const std::vector<db::TableInfo>& tables, const std::string& name) {
    for (const auto& table : tables) {
        if (table.name == name) return table;
    }
    throw std::runtime_error("no table " + name);
}

inline const db::ColumnInfo& ColumnNamed(const db::TableInfo& table, const std::string& name) {
    for (const auto& column : table.columns) {
        if (column.name == name) return column;
    }
    throw std::runtime_error("no column " + table.name + "." + name);
}

// The size of a column as a fresh catalogue reads it.
inline std::int32_t ColumnSize(const db::ConnectOptions& options, const std::string& table, const std::string& column) {
    std::vector<db::TableInfo> tables(1);
    tables[0].name = table;
    db::OpenCatalogue(options)->ReadColumns(tables);
    return ColumnNamed(tables[0], column).size;
}

}  // namespace velmora::test
