// A field's data type from the codes of the schema routes.
#include "model/core/data_types.h"
#include "model/entities/field.h"
#include "support/engine_state.h"

namespace velmora {

void AGPField::SetFldTypeInfo(std::int32_t type, std::int32_t precision) {
    SetFldType(static_cast<std::int16_t>(type));
    // A name read earlier (a bridge's or Oracle's own type name) wins.
    if (FldTypeName().empty()) SetFldTypeName(AdoTypeName(type, precision));
    std::optional<std::string> quote = AdoTypeQuote(type, Engine().databaseKind);
    SetFldSupport(quote.has_value());
    if (!quote) return;
    SetFldQuoteS(*quote);
    SetFldQuoteE(*quote);
}

void AGPField::MapDaoType(std::int32_t daoType) {
    DaoTypeMapping mapping = MapDaoTypeCode(daoType);
    SetFldType(mapping.adoType);
    SetFldSupport(mapping.supported);
    if (!mapping.quote) return;
    SetFldQuoteS(std::string(*mapping.quote));
    SetFldQuoteE(std::string(*mapping.quote));
}

}  // namespace velmora
