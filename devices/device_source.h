// Where device enumeration gets its answers: SetupAPI and the configuration
// manager on Windows, a recorded fixture natively. The enumeration rules live
// above this seam, so that both run the same algorithm.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "devices/device_record.h"

namespace quillary {

// The device registry properties the program reads.
enum class device_property {
  device_desc,      // SPDRP_DEVICEDESC
  hardware_id,      // SPDRP_HARDWAREID
  compatible_ids,   // SPDRP_COMPATIBLEIDS
  class_name,       // SPDRP_CLASS
  class_guid,       // SPDRP_CLASSGUID
  friendly_name,    // SPDRP_FRIENDLYNAME
  enumerator_name,  // SPDRP_ENUMERATOR_NAME
};

// The values of a device's driver key that the program reads, by name; a
// value that is missing or not a REG_SZ text is absent.
using driver_values = std::map<std::u16string, std::u16string>;
inline constexpr const char16_t* driver_value_names[] = {
    u"DriverVersion", u"InfPath", u"DriverDate", u"DriverDesc", u"MatchingDeviceId", u"ProviderName"};

class device_source_i {
 public:
  virtual ~device_source_i() = default;

  // --- setup classes
  // The installed classes in the system's order; false when the list cannot be built.
  virtual bool list_classes(std::vector<class_guid>& out) = 0;
  // Empty when the description cannot be read.
  virtual std::u16string class_description(const class_guid& guid) = 0;
  virtual bool class_name(const class_guid& guid, std::u16string& out) = 0;
  virtual int32_t class_image_index(const class_guid& guid) = 0;
  // The system's class image list (HIMAGELIST), or null.
  virtual void* class_image_list() = 0;

  // --- devices
  // Opens the device set: present devices, or all devices. False on failure.
  virtual bool open_devices(bool all_devices) = 0;
  virtual void close_devices() = 0;
  // Makes member `index` of the set the current device. False when there is
  // no such member; enumeration_failed() then tells an error from the end.
  virtual bool select_device(uint32_t index) = 0;
  virtual bool enumeration_failed() = 0;

  // Of the current device; false when the value cannot be read.
  virtual bool instance_id(std::u16string& out) = 0;
  virtual bool text_property(device_property property, std::u16string& out) = 0;
  virtual bool multi_property(device_property property, std::vector<std::u16string>& out) = 0;
  // False when the driver key cannot be opened.
  virtual bool read_driver_values(driver_values& out) = 0;
  // The rank of the installed driver from the given INF; false on failure.
  virtual bool driver_rank(const std::u16string& inf_path, uint32_t& out) = 0;
  // Whether the configuration manager answers the status query.
  virtual bool devnode_status_ok() = 0;
};

}  // namespace quillary
