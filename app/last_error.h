// The last-error code: 0 at start; an operation that fails stores its code
// here and returns failure. Nothing ever clears it.
//
// Each thread has its own: a download failing on its thread must not put
// its code in place of the one an update query left on another. An
// operation whose caller reads its outcome on another thread hands the
// code over in its own result (the update query's `error_code`).
#pragma once

#include <cstdint>

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
}  // namespace error_code

// The code the calling thread's last failing operation left.
int32_t last_error();
void set_last_error(int32_t code);

}  // namespace quillary
