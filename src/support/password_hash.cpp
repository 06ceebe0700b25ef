#include "support/password_hash.h"

#include <crypt.h>

#include <cctype>
#include <memory>

namespace velmora {

std::string CryptPassword(std::string_view password, std::string_view saltSeed) {
    std::string salt;
    for (char c : saltSeed) {
        if (salt.size() == 16) break;
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '/') salt += c;
    }
    if (salt.empty()) salt = "velmora";
    std::string setting = "$6$" + salt + "$";
    std::string text(password);
    auto data = std::make_unique<crypt_data>();
    const char* hashed = crypt_r(text.c_str(), setting.c_str(), data.get());
    if (hashed == nullptr || hashed[0] != '$') return {};
    return hashed;
}

}  // namespace velmora
