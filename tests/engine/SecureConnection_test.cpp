// Encrypted connections, against the private server that pg_tls_test.sh
// starts with its own certificate authority (TARNWICK_TEST_TLS names the
// folder of certificates, TARNWICK_TEST_TLS_PG the server, and
// TARNWICK_TEST_TLS_SERVES which server certificate it shows: "right", for
// 127.0.0.1 and localhost, or "wrong", for another host). Without them
// these tests skip.
#include "EngineTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/host/MessageLog.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace tarnwick {
namespace {

class SecureConnection : public ::testing::Test {
 protected:
  void need(const char* serves) {
    const char* folder = std::getenv("TARNWICK_TEST_TLS");
    const char* server = std::getenv("TARNWICK_TEST_TLS_PG");
    const char* shown = std::getenv("TARNWICK_TEST_TLS_SERVES");
    if (!folder || !server || !shown || std::string(shown) != serves)
      GTEST_SKIP() << "no server with the " << serves << " certificate (tests/engine/pg_tls_test.sh starts one)";
    certs_ = folder;
    admin_ = server;
    const auto colon = admin_.find(':', admin_.find("://") + 3), at = admin_.find('@');
    password_ = admin_.substr(colon + 1, at - colon - 1);
    port_ = admin_.substr(admin_.rfind(':') + 1, admin_.rfind('/') - admin_.rfind(':') - 1);
  }
  // The server as `user` at `host`, with what the query adds.
  std::u16string uri(const std::string& user, const std::string& host, const std::string& query) const {
    const std::string credentials = user == "tarnwick" ? user + ':' + password_ : user;
    return fromUtf8("postgresql://" + credentials + '@' + host + ':' + port_ + "/postgres?" + query);
  }
  std::string verified(const std::string& authority = "ca.crt") const {
    return "sslmode=verify-full&sslrootcert=" + certs_ + '/' + authority;
  }
  // Opens and closes a database; the error's number and text, or 0.
  std::pair<std::int32_t, std::u16string> open(const std::u16string& name) const {
    try {
      Object db(testing::engineObject().call(u"OpenDatabase", name));
      Object(db.get(u"TableDefs")).get(u"Count");
      db.call(u"Close");
    } catch (const Error& e) {
      return {e.number(), e.description()};
    }
    return {0, u""};
  }
  static int unencryptedTold() {
    int found = 0;
    for (const host::LoggedMessage& m : host::messageLog().entries())
      found += m.prompt.find(u"is not encrypted") != std::u16string::npos;
    return found;
  }

  std::string certs_, admin_, password_, port_;
};

TEST_F(SecureConnection, TheRightAuthorityHostAndClientCertificateConnect) {
  need("right");
  if (IsSkipped()) return;
  host::messageLog().clear();
  // The server's certificate names both the address and localhost.
  EXPECT_EQ(open(uri("tarnwick", "127.0.0.1", verified())).second, u"");
  EXPECT_EQ(open(uri("tarnwick", "localhost", verified())).second, u"");
  // An authority that signed nothing of the server's is refused, saying why.
  const auto [number, text] = open(uri("tarnwick", "127.0.0.1", verified("other-ca.crt")));
  EXPECT_EQ(number, errc::OdbcConnectionFailed);
  EXPECT_NE(text.find(u"certificate verify failed"), std::u16string::npos) << toUtf8(text);
  EXPECT_EQ(text.find(fromUtf8(password_)), std::u16string::npos) << toUtf8(text);
  // The role the server asks a certificate of logs in with it, and only so.
  const std::string client = "&sslcert=" + certs_ + "/client.crt&sslkey=" + certs_ + "/client.key";
  EXPECT_EQ(open(uri("certuser", "127.0.0.1", verified() + client)).second, u"");
  const auto [without, why] = open(uri("certuser", "127.0.0.1", verified()));
  EXPECT_EQ(without, errc::OdbcConnectionFailed);
  EXPECT_NE(why.find(u"certificate"), std::u16string::npos) << toUtf8(why);
  // Encryption preferred and given: nothing to tell.
  EXPECT_EQ(open(uri("tarnwick", "127.0.0.1", "sslmode=prefer")).second, u"");
  EXPECT_EQ(unencryptedTold(), 0);
}

TEST_F(SecureConnection, ACertificateForAnotherHostIsRefusedSayingWhy) {
  need("wrong");
  if (IsSkipped()) return;
  const auto [number, text] = open(uri("tarnwick", "127.0.0.1", verified()));
  EXPECT_EQ(number, errc::OdbcConnectionFailed);
  EXPECT_EQ(text.rfind(u"ODBC--connection to 'postgresql://tarnwick@127.0.0.1:", 0), 0u) << toUtf8(text);
  EXPECT_NE(text.find(u"server certificate for \"wrong.example\""), std::u16string::npos) << toUtf8(text);
  EXPECT_NE(text.find(u"does not match host name \"127.0.0.1\""), std::u16string::npos) << toUtf8(text);
  EXPECT_EQ(text.find(fromUtf8(password_)), std::u16string::npos) << toUtf8(text);
  // Checking the authority alone lets it in: the host name is what failed.
  EXPECT_EQ(open(uri("tarnwick", "127.0.0.1", "sslmode=verify-ca&sslrootcert=" + certs_ + "/ca.crt")).second, u"");
}

}  // namespace
}  // namespace tarnwick
