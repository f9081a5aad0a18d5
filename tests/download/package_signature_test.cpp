// The publishers' signatures: reading minisign's formats from hostile text,
// and every way a signature can fail to vouch for the package an offer
// names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "app/policy.h"
#include "base/minisign.h"
#include "download/package_signature.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "signing_support.h"
#include "test_support.h"

namespace quillary {
namespace {

using testing::test_signer_c;

const std::string package_bytes = "PK\x03\x04 the bytes of a driver package";

// The sample catalogue's key, as the repository holds it, and the ID
// minisign printed for it (without its leading zero).
constexpr char sample_key_file[] =
    "untrusted comment: SAMPLE public key B0F503A4439EC38 of the sample catalogue\n"
    "RWQ47DlEOlAPCwwgFf5LXEqRC+mR91P2m/pKiSrV6hg5XnBV6tGuoj+U\n";

signature_trust trusting(std::initializer_list<const test_signer_c*> signers) {
  signature_trust trust;
  for (const auto* signer : signers) trust.keys.push_back({signer->key(), "policy"});
  trust.require_signed = true;
  return trust;
}

signed_offer offer_of(const std::string& minisig, const std::string& name = "driver.zip") {
  signed_offer offer;
  offer.file_name = name;
  offer.sha256 = sha256_of(package_bytes);
  offer.minisig_base64 = minisig.empty() ? std::string() : encode_base64(minisig);
  return offer;
}

signature_verdict check(const signature_trust& trust, const signed_offer& offer,
                        const std::string& bytes = package_bytes) {
  blake2b_c hash;
  hash.update(bytes.data(), bytes.size());
  const sha256_digest sha256 = sha256_of(bytes);
  return check_package_signature(trust, offer, &sha256, hash.digest());
}

TEST(minisign_format, blake2b_is_the_512_bit_unkeyed_hash_signatures_cover) {
  blake2b_c hash;
  hash.update("a", 1);
  hash.update("bc", 2);
  std::string hex;
  for (const uint8_t byte : hash.digest()) hex += "0123456789abcdef"[byte >> 4], hex += "0123456789abcdef"[byte & 15];
  EXPECT_EQ(hex,
            "ba80a53f981c4d0d6a2797b69f12f6e94c212f14685ac4b74b12bb6fdbffa2d17d87c5392aab792dc252d5de4533cc9518d38aa8"
            "dbf1925ab92386edd4009923");  // RFC 7693, appendix A
}

TEST(minisign_format, base64_is_read_strictly) {
  std::string out;
  EXPECT_TRUE(decode_base64("aGVsbG8=", out));
  EXPECT_EQ(out, "hello");
  EXPECT_EQ(encode_base64("hello"), "aGVsbG8=");
  EXPECT_EQ(encode_base64(std::string("\0\xff\x10", 3)), "AP8Q");
  for (const char* bad : {"aGVsbG8", "aGVs bG8=", "aGVsbG9=", "aG=sbG8=", "a===", "aGVs\nbG8="}) {
    EXPECT_FALSE(decode_base64(bad, out)) << bad;
  }
}

TEST(minisign_format, public_keys_and_their_ids) {
  minisign_public_key key, bare;
  std::string error;
  ASSERT_TRUE(parse_minisign_public_key(sample_key_file, key, error)) << error;
  ASSERT_TRUE(parse_minisign_public_key("RWQ47DlEOlAPCwwgFf5LXEqRC+mR91P2m/pKiSrV6hg5XnBV6tGuoj+U", bare, error));
  EXPECT_EQ(key.key, bare.key);
  EXPECT_EQ(key_id_text(key.id), "0B0F503A4439EC38");
  minisign_key_id printed{};
  ASSERT_TRUE(parse_key_id("B0F503A4439EC38", printed)) << "minisign drops the leading zero";
  EXPECT_EQ(printed, key.id);
  ASSERT_TRUE(parse_key_id("0b0f503a4439ec38", printed));
  EXPECT_EQ(printed, key.id);
  EXPECT_FALSE(parse_key_id("0B0F503A4439EC38A", printed)) << "17 digits";
  EXPECT_FALSE(parse_key_id("XYZ", printed));

  EXPECT_FALSE(parse_minisign_public_key("comment\nRWQ47DlEOlAPCwwgFf5LXEqRC+mR91P2m/pKiSrV6hg5XnBV6tGuoj+U", key,
                                         error));
  EXPECT_FALSE(parse_minisign_public_key("RWQ47DlEOlAPCwwgFf5LXEqRC+mR91P2m/pKiSrV6hg5XnBV6tGu", key, error));
  // A signature line is no key, though it is base64 too.
  const std::string signature_line = test_signer_c(1).sign("x", "c").substr(45, 100);
  EXPECT_FALSE(parse_minisign_public_key(signature_line, key, error));
}

TEST(minisign_format, signature_files_as_minisign_writes_them_and_broken_ones) {
  const test_signer_c signer(7);
  const std::string good = signer.sign(package_bytes, "timestamp:1\tfile:driver.zip\thashed");
  minisign_signature signature;
  std::string error;
  ASSERT_TRUE(parse_minisign_signature(good, signature, error)) << error;
  EXPECT_TRUE(signature.prehashed);
  EXPECT_EQ(signature.key_id, signer.id());
  EXPECT_EQ(signature.trusted_comment, "timestamp:1\tfile:driver.zip\thashed");

  std::string crlf;
  for (char c : good) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  ASSERT_TRUE(parse_minisign_signature(crlf, signature, error)) << "written on Windows";
  EXPECT_EQ(signature.trusted_comment, "timestamp:1\tfile:driver.zip\thashed");

  const auto lines_of = [&](std::string text) {
    std::vector<std::string> lines;
    for (size_t at; (at = text.find('\n')) != std::string::npos; text.erase(0, at + 1)) lines.push_back(text.substr(0, at));
    return lines;
  };
  const auto lines = lines_of(good);
  ASSERT_EQ(lines.size(), 4u);
  const std::string broken[] = {
      lines[0] + "\n" + lines[1] + "\n" + lines[2] + "\n",                          // no global signature
      lines[1] + "\n" + lines[0] + "\n" + lines[2] + "\n" + lines[3] + "\n",         // lines swapped
      lines[0] + "\n" + lines[1] + "=\n" + lines[2] + "\n" + lines[3] + "\n",        // bad base64
      lines[0] + "\n" + lines[1] + "\n" + lines[2] + "\n" + lines[3] + "\nmore\n",   // a fifth line
      lines[0] + "\n" + lines[1] + "\n" + "comment: x" + "\n" + lines[3] + "\n",     // no trusted comment
      lines[0] + "\n" + lines[3] + "\n" + lines[2] + "\n" + lines[3] + "\n",         // 64 bytes, not 74
      std::string(5000, 'A'),
      std::string("untrusted comment: \0\n", 21) + lines[1] + "\n" + lines[2] + "\n" + lines[3] + "\n",
  };
  for (const auto& text : broken) {
    EXPECT_FALSE(parse_minisign_signature(text, signature, error)) << text;
  }
}

TEST(minisign_format, package_claims_come_from_tab_separated_fields) {
  const sha256_digest digest = sha256_of("x");
  const package_claims claims = read_package_claims(package_trusted_comment(5, "My Driver.zip", digest));
  EXPECT_EQ(claims.file_name, "My Driver.zip") << "a blank belongs to the name";
  ASSERT_TRUE(claims.sha256);
  EXPECT_EQ(*claims.sha256, digest);
  // The first of each counts; a digest that is not one is none.
  const package_claims twice = read_package_claims("file:a.zip\tfile:b.zip\tsha256:12ab");
  EXPECT_EQ(twice.file_name, "a.zip");
  EXPECT_FALSE(twice.sha256);
  EXPECT_TRUE(read_package_claims("timestamp:1\tfile:a.zip\thashed").file_name == "a.zip");
  EXPECT_TRUE(read_package_claims("").file_name.empty());
}

TEST(package_signature, a_trusted_keys_signature_of_this_package_passes) {
  const test_signer_c publisher(1);
  const signature_trust trust = trusting({&publisher});
  const signed_offer offer = offer_of(publisher.sign_package(package_bytes, "driver.zip"));
  EXPECT_EQ(check_offer_signature(trust, offer), signature_verdict::valid);
  EXPECT_EQ(check(trust, offer), signature_verdict::valid);
  EXPECT_TRUE(signature_needs_file_hash(trust, offer));
}

TEST(package_signature, what_a_man_in_the_middle_can_change_is_caught) {
  const test_signer_c publisher(1), other_publisher(2), attacker(3);
  const signature_trust trust = trusting({&publisher, &other_publisher});
  const std::string evil = "MZ an attacker's setup program";

  // Other bytes under the genuine signature (a mirror swapped them): the
  // digest and the link may be rewritten to match the bytes, not the
  // signed comment.
  signed_offer swapped = offer_of(publisher.sign_package(package_bytes, "driver.zip"));
  swapped.sha256 = sha256_of(evil);
  EXPECT_EQ(check_offer_signature(trust, swapped), signature_verdict::other_digest) << "refused before a byte";
  swapped.sha256.reset();
  EXPECT_EQ(check(trust, swapped, evil), signature_verdict::other_digest);

  // A valid signature of another package by a trusted publisher.
  EXPECT_EQ(check(trust, offer_of(other_publisher.sign_package(package_bytes, "other.zip"))),
            signature_verdict::other_file);
  const std::string other = "PK another package of the same publisher";
  signed_offer other_package = offer_of(publisher.sign_package(other, "driver.zip"));
  EXPECT_EQ(check(trust, other_package), signature_verdict::other_digest);
  other_package.sha256 = sha256_of(other);
  EXPECT_EQ(check(trust, other_package, other), signature_verdict::valid) << "its own bytes pass";

  // The attacker's own key, signing their bytes under the right name.
  EXPECT_EQ(check(trust, offer_of(attacker.sign_package(evil, "driver.zip")), evil), signature_verdict::unknown_key);

  // The comment rewritten to name these bytes: its global signature fails.
  std::string forged = publisher.sign_package(other, "driver.zip");
  const std::string claimed = to_hex(sha256_of(other));
  forged.replace(forged.find(claimed), claimed.size(), to_hex(sha256_of(package_bytes)));
  EXPECT_EQ(check(trust, offer_of(forged)), signature_verdict::bad_comment);

  // The signature copied from another package, with this one's comment
  // and global signature: the bytes are not the signed ones.
  const std::string mine = publisher.sign_package(package_bytes, "driver.zip");
  const std::string theirs = publisher.sign_package(other, "driver.zip");
  std::string spliced = mine;
  const size_t line = mine.find('\n') + 1;
  spliced.replace(line, mine.find('\n', line) - line, theirs.substr(line, theirs.find('\n', line) - line));
  EXPECT_EQ(check(trust, offer_of(spliced)), signature_verdict::bad_comment)
      << "the global signature covers the file's signature too";
}

TEST(package_signature, the_bytes_must_be_the_signed_ones) {
  const test_signer_c publisher(1);
  const signature_trust trust = trusting({&publisher});
  const signed_offer offer = offer_of(publisher.sign_package(package_bytes, "driver.zip"));
  blake2b_c other;
  other.update("x", 1);
  const sha256_digest sha256 = sha256_of(package_bytes);
  EXPECT_EQ(check_package_signature(trust, offer, &sha256, other.digest()), signature_verdict::bad_signature);
  EXPECT_EQ(check_package_signature(trust, offer, nullptr, other.digest()), signature_verdict::bad_signature)
      << "without the SHA-256, the signature alone decides";
  blake2b_c right;
  right.update(package_bytes.data(), package_bytes.size());
  EXPECT_EQ(check_package_signature(trust, offer, nullptr, right.digest()), signature_verdict::valid);
}

TEST(package_signature, unsigned_unknown_revoked_and_legacy_packages) {
  const test_signer_c publisher(1), stranger(4);
  signature_trust trust = trusting({&publisher});
  EXPECT_EQ(check(trust, offer_of("")), signature_verdict::unsigned_package);
  EXPECT_EQ(check(trust, offer_of(stranger.sign_package(package_bytes, "driver.zip"))), signature_verdict::unknown_key);
  signed_offer garbage = offer_of("");
  garbage.minisig_base64 = "not base64 at all";
  EXPECT_EQ(check(trust, garbage), signature_verdict::malformed);
  garbage.minisig_base64 = std::string(20000, 'A');
  EXPECT_EQ(check(trust, garbage), signature_verdict::malformed);
  const std::string legacy =
      publisher.sign(package_bytes, package_trusted_comment(1, "driver.zip", sha256_of(package_bytes)), false);
  EXPECT_EQ(check(trust, offer_of(legacy)), signature_verdict::legacy_format);

  // A team that serves unsigned packages says so: unsigned and strangers'
  // packages pass, but a bad signature by a trusted key still does not.
  trust.require_signed = false;
  EXPECT_EQ(check(trust, offer_of("")), signature_verdict::not_required);
  EXPECT_EQ(check(trust, offer_of(stranger.sign_package(package_bytes, "driver.zip"))),
            signature_verdict::not_required);
  EXPECT_FALSE(signature_needs_file_hash(trust, offer_of("")));
  EXPECT_EQ(check(trust, offer_of(publisher.sign_package(package_bytes, "other.zip"))), signature_verdict::other_file);

  // A revoked key fails whatever else is asked.
  trust.revoked.push_back(publisher.id());
  EXPECT_EQ(check(trust, offer_of(publisher.sign_package(package_bytes, "driver.zip"))),
            signature_verdict::revoked_key);

  // Nothing configured at all: nothing can be checked, and nothing is.
  EXPECT_EQ(check(signature_trust{}, garbage), signature_verdict::not_required);
}

TEST(package_signature, trust_from_the_built_in_keys_and_the_policy) {
  const test_signer_c built_in_a(1), built_in_b(2), admins(5);
  machine_policy policy;
  std::vector<std::string> problems;
  signature_trust trust = make_signature_trust(
      built_in_a.public_key_line() + ";" + built_in_b.public_key_line() + " nonsense", policy, &problems);
  ASSERT_EQ(trust.keys.size(), 2u);
  EXPECT_STREQ(trust.keys[0].source, "built-in");
  EXPECT_TRUE(trust.require_signed) << "a trusted key makes signatures required";
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("nonsense"), std::string::npos);

  // The administrator rolls to a new key: theirs is added, one built-in
  // key revoked, and both remaining keys pass at once.
  policy.trusted_keys.push_back(admins.key());
  policy.revoked_keys.push_back(built_in_a.id());
  trust = make_signature_trust(built_in_a.public_key_line() + ";" + built_in_b.public_key_line(), policy);
  ASSERT_EQ(trust.keys.size(), 2u);
  EXPECT_EQ(trust.keys[0].key.id, built_in_b.id());
  EXPECT_STREQ(trust.keys[1].source, "policy");
  EXPECT_EQ(check(trust, offer_of(admins.sign_package(package_bytes, "driver.zip"))), signature_verdict::valid);
  EXPECT_EQ(check(trust, offer_of(built_in_b.sign_package(package_bytes, "driver.zip"))), signature_verdict::valid);
  EXPECT_EQ(check(trust, offer_of(built_in_a.sign_package(package_bytes, "driver.zip"))),
            signature_verdict::revoked_key);

  policy.require_signed_packages = false;
  EXPECT_FALSE(make_signature_trust("", policy).require_signed);
  EXPECT_FALSE(make_signature_trust("", machine_policy{}).require_signed) << "no key, nothing required";
  EXPECT_FALSE(built_in_catalogue_keys().empty()) << "this build carries the sample catalogue's key";
}

TEST(package_signature, the_file_name_of_a_link) {
  EXPECT_EQ(package_file_name("http://host/packages/driver.zip"), "driver.zip");
  EXPECT_EQ(package_file_name("http://host/p/My%20Driver.zip?x=1#top"), "My Driver.zip");
  EXPECT_EQ(package_file_name("http://host/p/bad%2"), "bad%2");
  EXPECT_EQ(package_file_name("driver.zip"), "driver.zip");
}

TEST(package_signature, the_policy_lists_keys_and_revocations) {
  memory_registry_c hive;
  const test_signer_c admins(5);
  const auto text = [](const std::string& value) {
    std::vector<uint8_t> data;
    for (char c : value) data.insert(data.end(), {static_cast<uint8_t>(c), 0});
    data.insert(data.end(), {0, 0});
    return data;
  };
  const std::u16string root = machine_policy_key_path;
  hive.put(root + u"\\TrustedKeys", u"1", registry_type::sz, text(admins.public_key_line()));
  hive.put(root + u"\\TrustedKeys", u"2", registry_type::sz, text("RWQnot a key"));
  hive.put(root + u"\\RevokedKeys", u"1", registry_type::sz, text("B0F503A4439EC38"));
  hive.put(root + u"\\RevokedKeys", u"2", registry_type::dword, {1, 0, 0, 0});
  hive.put(root, u"RequireSignedPackages", registry_type::dword, {0, 0, 0, 0});
  hive.put(root, u"RequireHttps", registry_type::dword, {2, 0, 0, 0});
  const machine_policy policy = read_machine_policy(hive);
  ASSERT_EQ(policy.trusted_keys.size(), 1u);
  EXPECT_EQ(policy.trusted_keys[0].id, admins.id());
  ASSERT_EQ(policy.revoked_keys.size(), 1u);
  EXPECT_EQ(key_id_text(policy.revoked_keys[0]), "0B0F503A4439EC38");
  ASSERT_TRUE(policy.require_signed_packages);
  EXPECT_FALSE(*policy.require_signed_packages);
  EXPECT_FALSE(policy.require_https) << "2 is no switch";
  ASSERT_EQ(policy.problems.size(), 3u);
  const auto told = [&](const char* name) {
    return std::any_of(policy.problems.begin(), policy.problems.end(),
                       [&](const std::string& line) { return line.find(name) != std::string::npos; });
  };
  EXPECT_TRUE(told("TrustedKeys\\2") && told("RevokedKeys\\2") && told("RequireHttps")) << ::testing::PrintToString(policy.problems);

  // The sample key revoked by ID leaves this build without it.
  const signature_trust trust = make_signature_trust(built_in_catalogue_keys(), policy);
  ASSERT_EQ(trust.keys.size(), 1u);
  EXPECT_STREQ(trust.keys[0].source, "policy");
  EXPECT_FALSE(trust.require_signed) << "the policy's word on unsigned packages holds";
}

TEST(package_signature, https_is_demanded_of_servers_by_policy) {
  machine_policy policy;
  policy.require_https = true;
  const auto choice = choose_update_servers(policy, {"http://a/", "HTTPS://b/", "https://c/"});
  EXPECT_EQ(choice.servers, (std::vector<std::string>{"HTTPS://b/", "https://c/"}));
  EXPECT_EQ(choice.refused, (std::vector<std::string>{"http://a/"}));
}

}  // namespace
}  // namespace quillary

#ifndef _WIN32
namespace quillary {
namespace {

// What the test signer makes, minisign itself takes: the tests' signatures
// are real minisign signatures, not ones only this program reads.
TEST(minisign_interop, minisign_verifies_the_test_signers_signatures) {
  const testing::temp_folder_c folder;
  const std::string base = utf16_to_utf8(folder.text());
  const test_signer_c publisher(21);
  const auto write = [&](const std::string& name, const std::string& text) {
    std::ofstream(base + "/" + name, std::ios::binary) << text;
  };
  write("driver.zip", package_bytes);
  write("driver.zip.minisig", publisher.sign_package(package_bytes, "driver.zip"));
  write("key.pub", "untrusted comment: test key\n" + publisher.public_key_line() + "\n");
  const std::string verify = "minisign -V -q -H -p '" + base + "/key.pub' -m '" + base + "/driver.zip'";
  EXPECT_EQ(std::system(verify.c_str()), 0) << verify;

  std::string tampered = publisher.sign_package(package_bytes, "driver.zip");
  tampered.replace(tampered.find("file:driver.zip"), 15, "file:driver.zap");
  write("driver.zip.minisig", tampered);
  EXPECT_NE(std::system((verify + " 2>/dev/null").c_str()), 0) << "minisign refuses a changed comment too";
}

}  // namespace
}  // namespace quillary
#endif
