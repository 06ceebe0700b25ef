// The project settings that new tables and fields start from. A database load takes them from
// the project once; every table and field the loaders make afterwards gets them as defaults.
#pragma once

namespace velmora {

class AGProperties;

// Remembers the project's values (RecPerPage, ExportCsv, PagerStyle, ...) for later loads.
void CacheTableDefaultSettings(AGProperties& projectBag);
// Gives a table or a field the remembered values; nothing before the first cache.
void ApplyTableDefaultSettings(AGProperties& tableBag);
void ApplyFieldDefaultSettings(AGProperties& fieldBag);

}  // namespace velmora
