// The main database's foreign keys as the project's relations and lookups.
#pragma once

namespace velmora {

class AGP;

// Every foreign key between two tables of the project becomes a master/detail relation (master:
// the referenced table; the first key between a pair of tables) and, for a key of one column, a
// lookup on that column showing the referenced table's first name-like (else unique) text column.
// Relations and lookups the project already has are left as they are. False with ProjErr when
// the database cannot be read.
bool LoadForeignKeys(AGP& project);

}  // namespace velmora
