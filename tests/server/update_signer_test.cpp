#include <gtest/gtest.h>
#include <sodium.h>

#include <array>
#include <thread>

#include "server/update_signer.h"
#include "tests/support/test_support.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using server::UpdateSigner;

struct TestKey {
  std::array<unsigned char, 32> publicKey{};
  std::array<unsigned char, 64> secretKey{};
  std::string secretHex;
};

TestKey MakeKey() {
  EXPECT_GE(sodium_init(), 0);
  TestKey key;
  crypto_sign_keypair(key.publicKey.data(), key.secretKey.data());
  key.secretHex.resize(129);
  sodium_bin2hex(key.secretHex.data(), key.secretHex.size(), key.secretKey.data(), 64);
  key.secretHex.pop_back();
  return key;
}

bool Verifies(const std::string& message, const std::string& signature, const TestKey& key) {
  return signature.size() == crypto_sign_BYTES &&
         crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.data()),
                                     reinterpret_cast<const unsigned char*>(message.data()),
                                     message.size(), key.publicKey.data()) == 0;
}

std::string BodyOf(const std::string& reply) {
  const auto at = reply.find("\r\n\r\n");
  return at == std::string::npos ? std::string() : reply.substr(at + 4);
}

std::string Get(int port, const std::string& target) {
  return test::RawExchange(port,
                           "GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
}

TEST(UpdateSigner, TakesOnlyWholeConsistentKeys) {
  const TestKey key = MakeKey();
  std::string error;
  const auto signer = UpdateSigner::FromHex("  " + key.secretHex + "\n", error);
  ASSERT_TRUE(signer) << error;
  std::string publicHex(65, '\0');
  sodium_bin2hex(publicHex.data(), publicHex.size(), key.publicKey.data(), 32);
  publicHex.pop_back();
  EXPECT_EQ(signer->PublicKeyHex(), publicHex);

  std::string halvesDisagree = key.secretHex;
  halvesDisagree.back() = halvesDisagree.back() == '0' ? '1' : '0';
  for (const std::string& bad : {key.secretHex.substr(0, 64), key.secretHex + "00",
                                 "zz" + key.secretHex.substr(2), halvesDisagree, std::string()}) {
    EXPECT_FALSE(UpdateSigner::FromHex(bad, error)) << bad;
  }
  test::TempDir dir;
  EXPECT_FALSE(UpdateSigner::Load(dir.path() / "missing.key", error));
  EXPECT_NE(error.find("missing.key"), std::string::npos);
}

TEST(UpdateSigner, SignsWhatTheFileHoldsNow) {
  const TestKey key = MakeKey();
  std::string error;
  const auto signer = UpdateSigner::FromHex(key.secretHex, error);
  ASSERT_TRUE(signer);
  test::TempDir dir;
  const fs::path build = dir.path() / "Orvane";
  std::string content(300'000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 131 % 251);
  test::WriteFile(build, content);

  const auto first = signer->SignFile(build);
  ASSERT_TRUE(first);
  EXPECT_TRUE(Verifies(content, *first, key));
  std::string tampered = content;
  tampered[123'456] ^= 1;
  EXPECT_FALSE(Verifies(tampered, *first, key));
  EXPECT_EQ(signer->SignFile(build), first);

  // A replaced build is signed afresh, not answered from the earlier signature.
  test::WriteFile(build, tampered + "more");
  const auto second = signer->SignFile(build);
  ASSERT_TRUE(second);
  EXPECT_TRUE(Verifies(tampered + "more", *second, key));

  EXPECT_FALSE(signer->SignFile(dir.path() / "missing"));
  EXPECT_FALSE(signer->SignFile(dir.path()));
}

TEST(UpdateSigner, ServiceOffersEachUpdateFileWithItsSignature) {
  const TestKey key = MakeKey();
  test::TempDir dir;
  const fs::path updates = dir.path() / "UpdateFiles";
  fs::create_directories(updates);
  const std::string build = "#!/bin/sh\necho new build\n";
  test::WriteFile(updates / "Orvane", build);
  test::WriteFile(updates / "Orvane.sig", std::string(64, 'x'));  // stale, never served
  test::WriteFile(dir.path() / "update.key", key.secretHex + "\n");
  test::ServerProcess server({"--http-port", "0", "--root", test::SampleRoot().string(),
                              "--update-dir", updates.string(), "--update-key",
                              (dir.path() / "update.key").string()});
  ASSERT_TRUE(server.started()) << server.Output();

  const std::string listing = BodyOf(Get(server.port(), "/UpdateFiles/"));
  EXPECT_NE(listing.find(">Orvane</A><br>"), std::string::npos) << listing;
  EXPECT_NE(listing.find(">Orvane.sig</A><br>"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("Orvane.sig.sig"), std::string::npos) << listing;

  const std::string downloaded = BodyOf(Get(server.port(), "/UpdateFiles/Orvane"));
  const std::string signature = BodyOf(Get(server.port(), "/UpdateFiles/Orvane.sig"));
  EXPECT_EQ(downloaded, build);
  EXPECT_TRUE(Verifies(downloaded, signature, key));
  std::string tampered = downloaded;
  tampered[2] = 'X';
  EXPECT_FALSE(Verifies(tampered, signature, key));

  for (const std::string target :
       {"/UpdateFiles/missing.sig", "/UpdateFiles/.sig", "/UpdateFiles/../update.key.sig",
        "/UpdateFiles/%2e%2e/update.key.sig"}) {
    EXPECT_NE(Get(server.port(), target).find(" 404 "), std::string::npos) << target;
  }
}

TEST(UpdateSigner, ServiceRefusesToStartWithABadOrServedKey) {
  test::TempDir dir;
  fs::create_directories(dir.path() / "root" / "UpdateFiles");
  test::WriteFile(dir.path() / "bad.key", "not a key\n");
  const std::string good = MakeKey().secretHex;
  test::WriteFile(dir.path() / "root" / "update.key", good);
  test::WriteFile(dir.path() / "root" / "UpdateFiles" / "update.key", good);
  std::string out;
  for (const fs::path& key :
       {dir.path() / "bad.key", dir.path() / "missing.key", dir.path() / "root" / "update.key",
        dir.path() / "root" / "UpdateFiles" / "update.key"}) {
    EXPECT_EQ(
        test::RunProgram({test::ServerBinary().string(), "--http-port", "0", "--udp-port", "0",
                          "--root", (dir.path() / "root").string(), "--update-key", key.string()},
                         &out),
        1)
        << out;
    EXPECT_NE(out.find("update key"), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace orvane
