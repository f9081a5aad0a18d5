// Windows Management Instrumentation, as far as the program reads it: WQL
// queries and one property of every instance they return, in ROOT\CIMV2 for
// the system summary and in ROOT\DEFAULT for the restore points.
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

// Connects to a namespace as the current user (process security, locator,
// namespace, proxy blanket). Null when any of these fails. The native build
// answers the summary's queries in ROOT\CIMV2 from the Linux host's own
// files and has no other namespace.
std::unique_ptr<wmi_connection_i> connect_wmi(const std::u16string& name_space = u"ROOT\\CIMV2");

}  // namespace platform
}  // namespace quillary
