// The sequence check run before every save: tables and fields are written by their numbers, so
// gaps or duplicates would lose or repeat elements.
#pragma once

namespace velmora {

class AGP;

// Gives every table of the main database, then every field of each table, a number from 1 to
// the count used once. Items are taken in collection order; one whose number is out of range or
// taken by an earlier item gets the lowest free number, and the user is told (question id
// "sequence-repair", OK only).
void CheckSequence(AGP& proj);

}  // namespace velmora
