#include "web/http/password_check.h"

#include <crypt.h>

#include <memory>

namespace varnock::web {
namespace {

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0;
}

// A bcrypt hash with a fresh salt, hashed against when the name is unknown.
const std::string& DecoyHash() {
    static const std::string decoy = [] {
        char salt[CRYPT_GENSALT_OUTPUT_SIZE] = {};
        // No random bytes given: libcrypt takes them from the system.
        if (crypt_gensalt_rn("$2b$", 10, nullptr, 0, salt, sizeof salt) == nullptr) {
            return std::string("$2b$10$");
        }
        return std::string(salt);
    }();
    return decoy;
}

}  // namespace

bool PasswordMatches(std::string_view password, const std::string& hash) {
    // crypt_r's state is large (about 32 KiB): on the heap, one per call, so
    // that any server thread may check at once.
    auto data = std::make_unique<crypt_data>();
    const std::string text(password);
    if (text.find('\0') != std::string::npos) return false;
    const char* computed = crypt_r(text.c_str(), hash.c_str(), data.get());
    // libcrypt answers a failure with NULL or a text starting with '*'.
    if (computed == nullptr || computed[0] == '*') return false;
    return SameText(computed, hash);
}

bool UserMatches(const std::vector<BasicAuthUser>& users, std::string_view name,
                 std::string_view password) {
    const BasicAuthUser* found = nullptr;
    for (const BasicAuthUser& user : users) {
        if (SameText(user.name, name)) found = &user;
    }
    if (found == nullptr) {
        PasswordMatches(password, DecoyHash());
        return false;
    }
    return PasswordMatches(password, found->hash);
}

bool BasicAuthUsers::Allows(std::string_view name, std::string_view password) const {
    std::string pair(name);
    pair.push_back('\0');
    pair.append(password);
    {
        const std::lock_guard lock(mutex_);
        for (const std::string& known : matched_) {
            if (SameText(known, pair)) return true;
        }
    }
    if (!UserMatches(users_, name, password)) return false;
    const std::lock_guard lock(mutex_);
    constexpr std::size_t kRemembered = 16;
    if (matched_.size() == kRemembered) matched_.erase(matched_.begin());
    matched_.push_back(std::move(pair));
    return true;
}

}  // namespace varnock::web
