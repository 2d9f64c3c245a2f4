#pragma once

#include <mutex>
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

// The users of a server. A slow hash on every request would cost a fifth of
// a second each (bcrypt at cost 12), and the page asks every two seconds: a
// pair that matched once is remembered (a few, for the life of the process),
// as any client that keeps the password remembers it too.
class BasicAuthUsers {
public:
    BasicAuthUsers() = default;
    explicit BasicAuthUsers(std::vector<BasicAuthUser> users) : users_(std::move(users)) {}
    BasicAuthUsers(const BasicAuthUsers& other) : users_(other.users_) {}
    BasicAuthUsers& operator=(const BasicAuthUsers& other) {
        users_ = other.users_;
        return *this;
    }

    bool Empty() const { return users_.empty(); }
    bool Allows(std::string_view name, std::string_view password) const;

private:
    std::vector<BasicAuthUser> users_;
    mutable std::mutex mutex_;
    mutable std::vector<std::string> matched_;  // name, NUL, password
};

}  // namespace varnock::web
