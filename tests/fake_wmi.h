// WMI for the tests: answers queries from a table and notes what was asked.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/wmi.h"

namespace quillary::testing {

// A query without an entry cannot be run.
class fake_wmi_c : public wmi_connection_i {
 public:
  std::map<std::pair<std::u16string, std::u16string>, std::vector<std::u16string>> answers;
  std::vector<std::u16string> asked;  // "query.property", in order

  int for_each_value(const std::u16string& query, const std::u16string& property,
                     const std::function<bool(const std::u16string&)>& visit) override {
    asked.push_back(query + u"." + property);
    const auto it = answers.find({query, property});
    if (it == answers.end()) return -1;
    for (const auto& value : it->second) {
      if (!visit(value)) break;
    }
    return 0;
  }
};

}  // namespace quillary::testing
