// What an operation of the program did: done, or failed with a code and
// the reason in words. The code is what a user may be shown (the codes
// below); the reason is for the command line's one-line errors and for
// tests.
//
// Operations return it rather than leave a code in a place of the thread or
// the process: a code handed back travels with the one result it belongs
// to, across threads, and no later failure elsewhere can stand in for it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace quillary {

namespace error_code {
constexpr int32_t network_timeout = 3;        // update query: no server answered
constexpr int32_t file_open_failed = 4;       // download: output file cannot be opened
constexpr int32_t file_write_failed = 5;      // download: short write
constexpr int32_t transfer_unavailable = 7;   // transfer object cannot be created
constexpr int32_t os_version_unknown = 10;    // start-up: version cannot be read
constexpr int32_t power_status_failed = 12;   // start-up: GetSystemPowerStatus failed
constexpr int32_t class_list_failed = 16;     // device classes cannot be listed
constexpr int32_t device_set_failed = 17;     // device information set cannot be opened
constexpr int32_t enumeration_failed = 19;    // device enumeration ended with an error
constexpr int32_t network_error = 20;         // update query: all servers failed otherwise
constexpr int32_t invalid_reply = 21;         // update reply is not the expected XML
constexpr int32_t compression_failed = 24;    // update request cannot be compressed
constexpr int32_t oversize_download = 25;     // server sent more than the expected size
// Codes of operations whose failures a user never sees as a number.
constexpr int32_t unsupported_link = -2;      // download: not an http, https or ftp link
}  // namespace error_code

struct [[nodiscard]] outcome {
  int32_t code = 0;  // 0: done
  std::string reason;

  bool ok() const { return code == 0; }
  explicit operator bool() const { return ok(); }

  static outcome done() { return {}; }
  static outcome failed(int32_t code, std::string reason) { return {code, std::move(reason)}; }
};

}  // namespace quillary
