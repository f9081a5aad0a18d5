// Windows Management Instrumentation, as far as the system summary reads it:
// WQL queries in ROOT\CIMV2 and one property of every instance they return.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace quillary {

class wmi_connection_i {
 public:
  virtual ~wmi_connection_i() = default;
  // Runs the query and calls `visit` with the property's text for each
  // instance in turn whose property can be read and is not null, until
  // `visit` returns false. -1 when the query cannot be run, else 0.
  virtual int for_each_value(const std::u16string& query, const std::u16string& property,
                             const std::function<bool(const std::u16string&)>& visit) = 0;
};

namespace platform {

// Makes WMI usable on the calling thread (COM, multi-threaded, on Windows)
// for the scope's lifetime.
class wmi_thread_scope_c {
 public:
  wmi_thread_scope_c();
  ~wmi_thread_scope_c();
  wmi_thread_scope_c(const wmi_thread_scope_c&) = delete;
  wmi_thread_scope_c& operator=(const wmi_thread_scope_c&) = delete;

 private:
  [[maybe_unused]] bool initialised_ = false;  // COM was set up here (Windows)
};

// Connects to ROOT\CIMV2 as the current user (process security, locator,
// namespace, proxy blanket). Null when any of these fails. The native build
// answers the summary's queries from the Linux host's own files.
std::unique_ptr<wmi_connection_i> connect_wmi();

}  // namespace platform
}  // namespace quillary
