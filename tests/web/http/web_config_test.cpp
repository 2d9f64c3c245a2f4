#include "web/http/web_config.h"

#include <crypt.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace varnock::web {
namespace {

namespace fs = std::filesystem;

// A folder of its own for each test, removed after it.
class WebConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("varnock-web-config-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path Write(const std::string& name, const std::string& text) {
        const fs::path file = folder_ / name;
        std::ofstream(file) << text;
        return file;
    }
    // The message of the error reading the text gives, or "(read)".
    std::string Refusal(const std::string& text) {
        try {
            ReadWebConfig(Write("web.yml", text));
        } catch (const WebConfigError& error) {
            return error.what();
        }
        return "(read)";
    }

    fs::path folder_;
};

std::string Hash(const char* prefix, const std::string& password) {
    char salt[CRYPT_GENSALT_OUTPUT_SIZE] = {};
    EXPECT_NE(crypt_gensalt_rn(prefix, 0, nullptr, 0, salt, sizeof salt), nullptr) << prefix;
    crypt_data data{};
    return crypt_r(password.c_str(), salt, &data);
}

TEST_F(WebConfigTest, ReadsTlsAndUsers) {
    Write("cert.pem", "CERTIFICATE TEXT");
    const fs::path key = Write("key.pem", "KEY TEXT");
    const std::string bcrypt = Hash("$2b$", "s3cret");
    const std::string yescrypt = Hash("$y$", "other");
    // The certificate relative to the file's folder, the key absolute.
    const WebConfig config = ReadWebConfig(Write("web.yml",
                                                 "tls_server_config:\n"
                                                 "  cert_file: cert.pem\n"
                                                 "  key_file: " +
                                                     key.string() +
                                                     "\n"
                                                     "basic_auth_users:\n"
                                                     "  alice: '" +
                                                     bcrypt +
                                                     "'\n"
                                                     "  bob: " +
                                                     yescrypt + "\n"));
    ASSERT_TRUE(config.tls.has_value());
    EXPECT_EQ(config.tls->certificatePem, "CERTIFICATE TEXT");
    EXPECT_EQ(config.tls->keyPem, "KEY TEXT");
    ASSERT_EQ(config.users.size(), 2u);
    EXPECT_EQ(config.users[0].name, "alice");
    EXPECT_TRUE(PasswordMatches("s3cret", config.users[0].hash));
    EXPECT_FALSE(PasswordMatches("s3cret ", config.users[0].hash));
    EXPECT_EQ(config.users[1].name, "bob");
    EXPECT_TRUE(PasswordMatches("other", config.users[1].hash));
    EXPECT_FALSE(PasswordMatches("s3cret", config.users[1].hash));
}

TEST_F(WebConfigTest, AnEmptyFileConfiguresNothing) {
    const WebConfig config = ReadWebConfig(Write("web.yml", "# nothing yet\n"));
    EXPECT_FALSE(config.tls.has_value());
    EXPECT_TRUE(config.users.empty());
}

TEST_F(WebConfigTest, RefusesUnknownKeysByName) {
    EXPECT_EQ(Refusal("basic_auth_users: {}\nbasic_auth_user:\n  alice: x\n"),
              (folder_ / "web.yml").string() + ":2: unknown key \"basic_auth_user\"");
    EXPECT_NE(Refusal("tls_server_config:\n  cert_file: a\n  key_file: b\n  client_auth_type: x\n")
                  .find(":4: unknown key \"client_auth_type\" in tls_server_config"),
              std::string::npos);
}

TEST_F(WebConfigTest, RefusesBadYamlWithItsLine) {
    const std::string refusal = Refusal("basic_auth_users:\n  alice: x\n  bob: [unclosed\n");
    EXPECT_NE(refusal.find("web.yml:"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("not valid YAML"), std::string::npos) << refusal;
    EXPECT_NE(Refusal("- a list\n- not a mapping\n").find(":1: expected a mapping"),
              std::string::npos);
}

TEST_F(WebConfigTest, RefusesWhatCannotBeUsed) {
    const std::string plain = Refusal("basic_auth_users:\n  alice: hunter2\n");
    EXPECT_NE(plain.find("\"alice\" is not bcrypt"), std::string::npos) << plain;
    const std::string md5 = Refusal("basic_auth_users:\n  alice: '" + Hash("$1$", "x") + "'\n");
    EXPECT_NE(md5.find("is not bcrypt"), std::string::npos) << md5;
    const std::string half = Refusal("tls_server_config:\n  cert_file: cert.pem\n");
    EXPECT_NE(half.find("needs both cert_file and key_file"), std::string::npos) << half;
    const std::string missing = Refusal("tls_server_config:\n  cert_file: no.pem\n  key_file: k\n");
    EXPECT_NE(missing.find("cannot read the certificate"), std::string::npos) << missing;
    EXPECT_NE(Refusal("basic_auth_users:\n  alice: [1, 2]\n").find("must be a text"),
              std::string::npos);
    EXPECT_THROW(ReadWebConfig(folder_ / "absent.yml"), WebConfigError);
}

}  // namespace
}  // namespace varnock::web
