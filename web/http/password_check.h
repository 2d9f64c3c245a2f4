#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnock::web {

struct BasicAuthUser {
    std::string name;
    std::string hash;  // crypt(3) form: bcrypt "$2b$"/"$2y$" or yescrypt "$y$"
};

// Whether the password hashes to the stored hash, with libcrypt. The final
// comparison takes the same time wherever the texts differ.
bool PasswordMatches(std::string_view password, const std::string& hash);

// Whether the name and password are one of the users'. A wrong name costs a
// hash too, so that the time taken does not tell which names exist.
bool UserMatches(const std::vector<BasicAuthUser>& users, std::string_view name,
                 std::string_view password);

}  // namespace varnock::web
