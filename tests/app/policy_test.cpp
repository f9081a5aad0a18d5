#include "app/policy.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <fstream>
#include <set>

#include "platform/text.h"

namespace quillary {
namespace {

const std::vector<std::string> built_in = {"http://built.in:1/", "http://built.in:2/", "http://built.in:3/"};

class policy_test : public ::testing::Test {
 protected:
  void put_text(const char16_t* name, const std::u16string& text) {
    hive.put(machine_policy_key_path, name, registry_type::sz, registry_sz_bytes(text));
  }
  machine_policy read() { return read_machine_policy(hive); }

  memory_registry_c hive;
};

TEST_F(policy_test, the_servers_named_are_asked_in_order_of_their_values) {
  put_text(u"UpdateServer3", u"http://third.example/");
  put_text(u"UpdateServer1", u"https://first.example/drivers/");
  put_text(u"UpdateServer2", u"HTTP://Second.Example:8080");
  const auto policy = read();
  EXPECT_EQ(policy.update_servers, (std::vector<std::string>{"https://first.example/drivers/",
                                                             "HTTP://Second.Example:8080", "http://third.example/"}))
      << "taken as written: a base address without a trailing slash is the same request to the transfer layer";
  EXPECT_TRUE(policy.problems.empty());
  const auto choice = choose_update_servers(policy, built_in);
  EXPECT_TRUE(choice.from_policy);
  EXPECT_STREQ(choice.source(), "policy");
  EXPECT_EQ(choice.servers, policy.update_servers);
}

TEST_F(policy_test, one_server_or_a_gap_between_them) {
  put_text(u"UpdateServer2", u"http://only.example/");
  EXPECT_EQ(read().update_servers, std::vector<std::string>{"http://only.example/"});
  put_text(u"UpdateServer1", u"");  // a text box left blank in the template
  const auto policy = read();
  EXPECT_EQ(policy.update_servers, std::vector<std::string>{"http://only.example/"});
  EXPECT_TRUE(policy.problems.empty()) << "an empty text is a value not set, not a bad one";
}

TEST_F(policy_test, a_bad_value_is_dropped_with_a_line_and_the_others_stay) {
  put_text(u"UpdateServer1", u"http://good.example/");
  put_text(u"UpdateServer2", u"ftp://x");
  hive.put(machine_policy_key_path, u"UpdateServer3", registry_type::dword, registry_dword_bytes(8080));
  const auto policy = read();
  EXPECT_EQ(policy.update_servers, std::vector<std::string>{"http://good.example/"});
  ASSERT_EQ(policy.problems.size(), 2u);
  EXPECT_EQ(policy.problems[0],
            "policy value UpdateServer2 ignored: \"ftp://x\" is not an http:// or https:// address");
  EXPECT_EQ(policy.problems[1],
            "policy value UpdateServer3 ignored: a REG_DWORD value, where the text (REG_SZ) of an address belongs");
}

TEST_F(policy_test, texts_must_be_whole_reg_sz_values) {
  auto odd = registry_sz_bytes(u"http://a.example/");
  odd.pop_back();
  hive.put(machine_policy_key_path, u"UpdateServer1", registry_type::sz, odd);
  hive.put(machine_policy_key_path, u"UpdateServer2", registry_type::expand_sz,
           registry_sz_bytes(u"http://%UPDATES%/"));
  hive.put(machine_policy_key_path, u"UpdateServer3", registry_type::multi_sz, registry_sz_bytes(u"http://b/"));
  auto policy = read();
  EXPECT_TRUE(policy.update_servers.empty());
  ASSERT_EQ(policy.problems.size(), 3u);
  EXPECT_NE(policy.problems[0].find("odd number of bytes"), std::string::npos) << policy.problems[0];
  EXPECT_NE(policy.problems[1].find("a REG_EXPAND_SZ value"), std::string::npos) << policy.problems[1];
  EXPECT_NE(policy.problems[2].find("a REG_MULTI_SZ value"), std::string::npos) << policy.problems[2];

  // Written without its terminator (the registry API allows it): the same text.
  auto bare = registry_sz_bytes(u"http://bare.example/");
  bare.resize(bare.size() - 2);
  hive.put(machine_policy_key_path, u"UpdateServer1", registry_type::sz, bare);
  EXPECT_EQ(read().update_servers, std::vector<std::string>{"http://bare.example/"});
}

TEST_F(policy_test, a_value_the_program_does_not_read_is_named) {
  put_text(u"UpdateServer1", u"http://1.example/");
  put_text(u"UpdateServer2", u"http://2.example/");
  put_text(u"UpdateServer3", u"http://3.example/");
  put_text(u"UpdateServer4", u"http://4.example/");
  put_text(u"UpdateSever1", u"http://typo.example/");
  put_text(u"", u"default value");
  put_text(u"updateserver2", u"http://2.example/");  // the same value: names ignore case
  const auto policy = read();
  EXPECT_EQ(policy.update_servers.size(), 3u) << "at most three servers";
  const std::set<std::string> lines(policy.problems.begin(), policy.problems.end());
  EXPECT_EQ(lines, (std::set<std::string>{
                       "policy value UpdateServer4 ignored: Quillary reads no value of this name",
                       "policy value UpdateSever1 ignored: Quillary reads no value of this name",
                       "policy value (Default) ignored: Quillary reads no value of this name"}));
}

TEST_F(policy_test, a_key_full_of_other_values_gives_a_bounded_report) {
  put_text(u"UpdateServer1", u"http://1.example/");
  for (int i = 0; i < 5000; ++i) put_text(utf8_to_utf16("junk" + std::to_string(i)).c_str(), u"x");
  const auto policy = read();
  EXPECT_EQ(policy.update_servers, std::vector<std::string>{"http://1.example/"});
  ASSERT_EQ(policy.problems.size(), 17u);
  EXPECT_EQ(policy.problems.back(), "policy: 4984 more values of names Quillary does not read ignored");
}

TEST_F(policy_test, without_a_usable_server_the_built_in_ones_are_asked) {
  // No key at all.
  auto choice = choose_update_servers(read(), built_in);
  EXPECT_FALSE(choice.from_policy);
  EXPECT_STREQ(choice.source(), "built-in");
  EXPECT_EQ(choice.servers, built_in);

  put_text(u"UpdateServer1", u"file:///c:/drivers");
  put_text(u"UpdateServer2", u"https://");
  put_text(u"UpdateServer3", u"");
  const auto policy = read();
  EXPECT_EQ(policy.problems.size(), 2u);
  choice = choose_update_servers(policy, built_in);
  EXPECT_FALSE(choice.from_policy);
  EXPECT_EQ(choice.servers, built_in);
}

TEST_F(policy_test, a_problem_line_stays_one_short_line_whatever_the_value) {
  put_text(u"UpdateServer1", u"http://a.example/\r\nsecond line");
  put_text(u"UpdateServer2", u"http://" + std::u16string(3000, u'a') + u"/");
  put_text(u"UpdateServer3", u"http://say \"hi\"/");
  const auto policy = read();
  ASSERT_EQ(policy.problems.size(), 3u);
  EXPECT_EQ(policy.problems[0],
            "policy value UpdateServer1 ignored: \"http://a.example/\\x0D\\x0Asecond line\" contains a control "
            "character");
  EXPECT_LT(policy.problems[1].size(), 200u);
  EXPECT_NE(policy.problems[1].find("...\" is longer than 2048 characters"), std::string::npos);
  EXPECT_EQ(policy.problems[2], "policy value UpdateServer3 ignored: \"http://say \\\"hi\\\"/\" contains a blank");
}

TEST(server_address, good_addresses) {
  for (const char* good : {"http://a/", "https://updates.example.com/", "HTTPS://Updates.Example.COM/q",
                           "http://10.0.0.5:8080/", "http://host:1", "http://host:65535/x?y=1#z",
                           "http://[::1]:18081/", "http://[fe80::1]/", "https://user@host.example/",
                           "http://my_host.local/%7Euser/", "http://a.example?only=query"}) {
    EXPECT_EQ(server_address_problem(utf8_to_utf16(good)), "") << good;
  }
  const std::u16string longest = u"http://a.example/" + std::u16string(max_server_address_length - 17, u'x');
  ASSERT_EQ(longest.size(), max_server_address_length);
  EXPECT_EQ(server_address_problem(longest), "");
  EXPECT_EQ(server_address_problem(longest + u"x"), "is longer than 2048 characters");
}

TEST(server_address, bad_addresses_say_why) {
  const std::pair<std::u16string, const char*> cases[] = {
      {u"", "is empty"},
      {u"ftp://x", "is not an http:// or https:// address"},
      {u"updates.example.com", "is not an http:// or https:// address"},
      {u"http:/host/", "is not an http:// or https:// address"},
      {u"httpx://host/", "is not an http:// or https:// address"},
      {u"http://", "has no host"},
      {u"https:///path", "has no host"},
      {u"http://:8080/", "has no host"},
      {u"http://user@/", "has no host"},
      {u"http://host:0/", "has a bad port (1 to 65535)"},
      {u"http://host:65536/", "has a bad port (1 to 65535)"},
      {u"http://host:/", "has a bad port (1 to 65535)"},
      {u"http://host:80a/", "has a bad port (1 to 65535)"},
      {u"http://host:1:2/", "has a bad port (1 to 65535)"},
      {u"http://ho!st/", "has a bad host name"},
      {u"http://[::1/", "has an IPv6 address without its closing \"]\""},
      {u"http://[]/", "has a bad IPv6 address"},
      {u"http://[::1]x/", "has something other than a port after its IPv6 address"},
      {u" http://host/", "contains a blank"},
      {u"http://host/a b", "contains a blank"},
      {u"http://host/\u00A0", "contains a blank"},
      {u"http://host/\t", "contains a control character"},
      {std::u16string(u"http://host/\0x", 14), "contains a control character"},
      {u"http://h\u00F6st.example/", "contains a character beyond ASCII (write the host in its xn-- form, the rest %-encoded)"},
      {u"http://%HOST%/", "has a \"%\" that is not followed by two hexadecimal digits"},
      {u"http://host/100%", "has a \"%\" that is not followed by two hexadecimal digits"},
  };
  for (const auto& [address, why] : cases) {
    EXPECT_EQ(server_address_problem(address), why) << utf16_to_utf8(address);
  }
}

// The Group Policy template writes exactly the values the program reads, in
// the key it reads them from, and never longer texts than it takes.
TEST_F(policy_test, blocked_packages_are_read_in_order_and_a_rule_that_is_none_is_told) {
  const std::u16string list = std::u16string(machine_policy_key_path) + u"\\" + policy_blocked_packages_key;
  put_text(u"UpdateServer1", u"http://good.example/");  // the policy's own key, as Group Policy leaves it
  hive.put(list, u"1", registry_type::sz, registry_sz_bytes(u"https://updates.example/packages/bad.zip"));
  hive.put(list, u"2", registry_type::sz, registry_sz_bytes(u"PCI\\VEN_10DE&DEV_1C82 27.21-27.22"));
  hive.put(list, u"3", registry_type::sz, registry_sz_bytes(u"PCI\\VEN_1 newest"));
  hive.put(list, u"4", registry_type::dword, registry_dword_bytes(1));
  hive.put(list, u"5", registry_type::sz, registry_sz_bytes(u""));
  const auto policy = read();
  ASSERT_EQ(policy.blocked_packages.size(), 2u);
  EXPECT_EQ(policy.blocked_packages[0].link, "https://updates.example/packages/bad.zip");
  EXPECT_EQ(policy.blocked_packages[1].hardware_id, u"PCI\\VEN_10DE&DEV_1C82");
  EXPECT_EQ(policy.blocked_packages[1].highest, u"27.22");
  ASSERT_EQ(policy.problems.size(), 2u) << "an empty line is a rule not set";
  EXPECT_EQ(policy.problems[0], "policy value BlockedPackages\\3 ignored: \"PCI\\\\VEN_1 newest\" names a version "
                                "that is not one to four dotted numbers");
  EXPECT_EQ(policy.problems[1].rfind("policy value BlockedPackages\\4 ignored: a REG_DWORD value", 0), 0u)
      << policy.problems[1];
}

TEST(policy_template, names_the_key_and_values_the_program_reads) {
  std::ifstream file(QUILLARY_SOURCE_DIR "/resources/policy/quillary.admx", std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  ASSERT_FALSE(text.empty());
  TiXmlDocument admx;
  admx.Parse(text.c_str());
  ASSERT_FALSE(admx.Error()) << admx.ErrorDesc();

  std::set<std::u16string> written, lists;
  const TiXmlElement* policies = admx.RootElement()->FirstChildElement("policies");
  ASSERT_NE(policies, nullptr);
  for (auto* policy = policies->FirstChildElement("policy"); policy; policy = policy->NextSiblingElement("policy")) {
    EXPECT_STREQ(policy->Attribute("class"), "Machine") << "the program reads HKEY_LOCAL_MACHINE only";
    ASSERT_NE(policy->Attribute("key"), nullptr);
    EXPECT_EQ(utf8_to_utf16(policy->Attribute("key")), machine_policy_key_path);
    // A switch writes its own value; a list writes the values of a sub-key.
    if (const char* value = policy->Attribute("valueName")) {
      EXPECT_TRUE(policy->FirstChildElement("enabledValue") && policy->FirstChildElement("disabledValue"))
          << "a REG_DWORD 1 or 0, as the program reads";
      written.insert(utf8_to_utf16(value));
      continue;
    }
    const TiXmlElement* elements = policy->FirstChildElement("elements");
    ASSERT_NE(elements, nullptr);
    if (const TiXmlElement* list = elements->FirstChildElement("list")) {
      ASSERT_NE(list->Attribute("key"), nullptr);
      lists.insert(utf8_to_utf16(list->Attribute("key")));
      EXPECT_FALSE(list->Attribute("expandable")) << "REG_SZ, as the program reads";
      continue;
    }
    for (auto* element = elements->FirstChildElement(); element; element = element->NextSiblingElement()) {
      ASSERT_NE(element->Attribute("valueName"), nullptr);
      EXPECT_FALSE(element->Attribute("key")) << "every value in the policy's own key";
      written.insert(utf8_to_utf16(element->Attribute("valueName")));
      int length = 0;
      if (element->ValueStr() == "text") {
        ASSERT_EQ(element->QueryIntAttribute("maxLength", &length), TIXML_SUCCESS);
        EXPECT_LE(static_cast<size_t>(length), max_server_address_length);
        EXPECT_FALSE(element->Attribute("expandable")) << "REG_SZ, as the program reads";
      }
    }
  }
  const auto names = machine_policy_value_names();
  EXPECT_EQ(written, std::set<std::u16string>(names.begin(), names.end()));
  const std::u16string key = machine_policy_key_path;
  EXPECT_EQ(lists, (std::set<std::u16string>{key + u"\\" + policy_trusted_keys_key,
                                             key + u"\\" + policy_revoked_keys_key,
                                             key + u"\\" + policy_blocked_packages_key}));
}

}  // namespace
}  // namespace quillary
