#include "TempFolder.h"
#include "server/Certificate.h"
#include "server/CloudUserStore.h"
#include "server/ServerOptions.h"
#include "server/TokenStore.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <fstream>
#include <sstream>

using namespace kelsor::server;
using kelsor::test::TempFolder;

TEST(Certificate, CoversTheRegionHostsLocalhostAndLoopbackAndIsKeptAcrossStarts) {
    TempFolder dir;
    CertificateFiles files;
    std::string error;
    ASSERT_TRUE(EnsureCloudCertificate(dir.path(), "cn-north-4", files, error)) << error;
    EXPECT_TRUE(files.created);
    EXPECT_TRUE(CertificateCoversHost(files.certPath, "iam.cn-north-4.localhost"));
    EXPECT_TRUE(CertificateCoversHost(files.certPath, "ocr.cn-north-4.localhost"));
    EXPECT_TRUE(CertificateCoversHost(files.certPath, "localhost"));
    EXPECT_FALSE(CertificateCoversHost(files.certPath, "a.ocr.cn-north-4.localhost"));
    EXPECT_FALSE(CertificateCoversHost(files.certPath, "ocr.cn-east-3.localhost"));
    struct stat st {};
    ASSERT_EQ(::stat(files.keyPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u) << "the key must not be readable by others";

    CertificateFiles again;
    ASSERT_TRUE(EnsureCloudCertificate(dir.path(), "cn-north-4", again, error));
    EXPECT_FALSE(again.created);
    ASSERT_TRUE(EnsureCloudCertificate(dir.path(), "cn-east-3", again, error));
    EXPECT_TRUE(again.created) << "a new region needs a certificate that names it";
}

TEST(CloudUserStore, VerifiesOnlyTheRightDomainNameAndPasswordAndStoresNoPlainPassword) {
    TempFolder dir;
    CloudUserStore store;
    std::string error;
    ASSERT_TRUE(store.Open(dir.file("db.sqlite"), error)) << error;
    CloudUser added;
    ASSERT_TRUE(store.AddUser("dom", "alice", "s3cr\"et\\pw", "cn-north-4", added, error));
    EXPECT_FALSE(store.AddUser("dom", "alice", "other", "cn-north-4", added, error));
    EXPECT_NE(error.find("already exists"), std::string::npos);

    const auto user = store.Verify("dom", "alice", "s3cr\"et\\pw");
    ASSERT_TRUE(user);
    EXPECT_EQ(user->projectName, "cn-north-4");
    EXPECT_EQ(user->projectId.size(), 32u);
    EXPECT_FALSE(store.Verify("dom", "alice", "s3cr\"et\\pW"));
    EXPECT_FALSE(store.Verify("other", "alice", "s3cr\"et\\pw"));
    EXPECT_FALSE(store.Verify("dom", "bob", "s3cr\"et\\pw"));

    std::ifstream db(dir.file("db.sqlite"), std::ios::binary);
    std::stringstream content;
    content << db.rdbuf();
    EXPECT_EQ(content.str().find("s3cr\"et"), std::string::npos);
}

TEST(TokenStore, TokensAreRandomAndExpire) {
    CloudUser user{"d", "did", "u", "uid", "p", "pid"};
    TokenStore store(std::chrono::seconds(3600));
    const IssuedToken a = store.Issue(user).value();
    const IssuedToken b = store.Issue(user).value();
    EXPECT_NE(a.token, b.token);
    EXPECT_GE(a.token.size(), 32u);
    IssuedToken found;
    EXPECT_EQ(store.Check(a.token, found), TokenCheck::Valid);
    EXPECT_EQ(found.user.userName, "u");
    EXPECT_EQ(store.Check("", found), TokenCheck::Missing);
    EXPECT_EQ(store.Check("nope", found), TokenCheck::Unknown);

    TokenStore expiring(std::chrono::seconds(0));
    EXPECT_EQ(expiring.Check(expiring.Issue(user)->token, found), TokenCheck::Expired);
}

TEST(ServerOptions, ParsesPortsAndRejectsBadValues) {
    ServerOptions options;
    std::string error;
    ASSERT_TRUE(ParseServerOptions({"--data", "/x", "--cloud-port", "0", "--token-ttl", "5"},
                                   options, error));
    EXPECT_EQ(options.cloudPort, 0);
    EXPECT_EQ(options.accountPort, 18080);
    EXPECT_EQ(options.tokenTtlSeconds, 5);
    EXPECT_FALSE(ParseServerOptions({"--data", "/x", "--cloud-port", "70000"}, options, error));
    ServerOptions fresh;
    EXPECT_FALSE(ParseServerOptions({"--cloud-port", "1"}, fresh, error));
    EXPECT_NE(error.find("--data"), std::string::npos);
    EXPECT_FALSE(ParseServerOptions({"--data", "/x", "--bogus", "1"}, options, error));
    EXPECT_FALSE(ParseServerOptions({"--data"}, options, error));
}
