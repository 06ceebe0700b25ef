// Page generation: the walk over the tables and controls that plans, lists (check mode) or
// generates (generation mode) every page of the application, and the rules that decide which
// control applies to which table.
#pragma once

#include <cstdint>

namespace velmora {

class AGPControl;
class AGPTable;
struct GenerationRun;

// In check mode fills the item lists and counts the pages they hold; in generation mode writes
// the pages. False, with ProjErr set, when the walk ends early.
bool GeneratePages(GenerationRun& run, std::int32_t& count);

// TblGen (or the control's id listed in TblSysGenUnits), the table kind that the control's type
// serves, and the control's condition with the table made current. `control` must be current in
// the control list.
bool ControlAppliesToTable(GenerationRun& run, AGPTable& table, const AGPControl& control);

}  // namespace velmora
