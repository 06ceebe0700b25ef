#include "schema/db_quotes.h"

#include "model/project/agp.h"
#include "model/core/data_types.h"
#include "model/core/property_bag.h"
#include "model/entities/table_defaults.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {

LoaderState& Loader() {
    static LoaderState state;
    return state;
}

std::string ResolveSqlQuote(std::string_view dbType, std::string_view method) {
    std::string type = dbType.empty() ? std::string("MYSQL") : std::string(dbType);
    std::string how = method.empty() ? std::string("DIRECT") : ToUpperAscii(method);
    if (how == "JDBC") return "NA";
    enum class Choice { Automatic, BackQuote, DoubleQuote, None } choice = Choice::Automatic;
    std::string setting = ToLowerAscii(Engine().sqlQuote);
    if (setting == "backquote") choice = Choice::BackQuote;
    else if (setting == "double quote") choice = Choice::DoubleQuote;
    else if (setting == "none") choice = Choice::None;

    if (ContainsNoCase(type, "MySQL")) {
        if (choice == Choice::Automatic) choice = Choice::BackQuote;
    } else if (ContainsNoCase(type, "PostgreSql") || ContainsNoCase(type, "Oracle")) {
        if (choice == Choice::Automatic || choice == Choice::BackQuote) choice = Choice::DoubleQuote;
    } else if (choice == Choice::Automatic) {
        choice = Choice::None;
    }
    switch (choice) {
        case Choice::BackQuote: return "`";
        case Choice::DoubleQuote: return "\"";
        default: return "";
    }
}

void CacheProjectSettings(AGP& project) {
    Engine().sqlQuote = project.SQLQuote();
    Engine().defaultDateFormat = project.DefaultDateFormat();
    Loader().dynamicLoad = project.DynamicLoadDB();
    CacheTableDefaultSettings(*project.Properties());
}

std::string QuoteIdentifier(std::string_view id, std::string_view quoteStart, std::string_view quoteEnd) {
    if (quoteEnd.empty()) return std::string(quoteStart) + std::string(id);
    return std::string(quoteStart) + ReplaceAll(id, quoteEnd, std::string(quoteEnd) + std::string(quoteEnd)) +
           std::string(quoteEnd);
}

std::string ConnectionStringValue(std::string_view connStr, std::initializer_list<std::string_view> keys) {
    for (const std::string& pair : Split(connStr, ';')) {
        auto equals = pair.find('=');
        if (equals == std::string::npos) continue;
        std::string key = Trim(std::string_view(pair).substr(0, equals));
        for (std::string_view wanted : keys) {
            if (EqualsNoCase(key, wanted)) return Trim(std::string_view(pair).substr(equals + 1));
        }
    }
    return {};
}

}  // namespace velmora
