// The routes' entry points; OpenCatalogue picks one by ConnectOptions::route.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/db/catalogue.h"

namespace velmora::db {

std::unique_ptr<Catalogue> OpenSqliteCatalogue(const ConnectOptions& options);
std::unique_ptr<Catalogue> OpenPostgresCatalogue(const ConnectOptions& options);
std::unique_ptr<Catalogue> OpenMySqlCatalogue(const ConnectOptions& options);
std::unique_ptr<Catalogue> OpenOdbcCatalogue(const ConnectOptions& options);
std::unique_ptr<Catalogue> OpenAccessCatalogue(const ConnectOptions& options);

// The check every route's Execute starts with: throws Unsupported unless opened `writable`.
void RequireWritable(bool writable);

std::vector<std::string> ListPostgresDatabases(const ConnectOptions& options);
std::vector<std::string> ListMySqlDatabases(const ConnectOptions& options);

}  // namespace velmora::db
