// Password hashes for generated applications: crypt(3) SHA-512 texts that PHP's password_verify
// accepts.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The "$6$" hash of `password`. The salt is made from `saltSeed` (its letters, digits, "." and "/",
// at most 16), so the same inputs give the same text and generated files stay reproducible;
// an empty seed gives the salt "velmora". Empty when the system cannot hash.
std::string CryptPassword(std::string_view password, std::string_view saltSeed);

}  // namespace velmora
