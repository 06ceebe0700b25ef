#include <string>

#include "model/data_types.h"
#include "persistence/read_context.h"
#include "support/text.h"

namespace velmora {

namespace {

bool Contains(std::string_view text, std::string_view part) {
    return ToLowerAscii(text).find(ToLowerAscii(part)) != std::string::npos;
}

}  // namespace

std::int16_t DbKindOf(std::string_view dbmsName) {
    if (dbmsName == "MS Jet" || dbmsName == "ACCESS") return kDbAccess;
    if (Contains(dbmsName, "Microsoft") && Contains(dbmsName, "SQL")) return kDbSqlServer;
    if (Contains(dbmsName, "MySQL")) return kDbMySql;
    if (Contains(dbmsName, "ORA")) return kDbOracle;
    if (Contains(dbmsName, "PostgreSql")) return kDbPostgreSql;
    if (Contains(dbmsName, "SQLITE")) return kDbSqlite;
    return kDbOther;
}

}  // namespace velmora
