// Device enumeration: walks every device the source reports, reads its
// identifiers and installed-driver values, drops the devices the program
// never offers drivers for, merges instances that share a device ID, and
// reports progress as it goes.
#pragma once

#include <string>
#include <vector>

#include "app/outcome.h"
#include "devices/device_record.h"
#include "devices/device_source.h"

namespace quillary {

// Builds the class table: every installed class with a readable name,
// sorted by description. Fails with error_code 16.
outcome build_class_table(device_source_i& source, std::vector<device_class_entry>& table);

// The class-table entry of a record: by class name when the record has both
// a class name and a class GUID, else the "Unknown" entry. Null if none.
const device_class_entry* find_class_entry(const std::vector<device_class_entry>& table,
                                           const device_record& record);

// Appends the kept devices to `list` (which the scan has emptied). Fails
// with error_code 17 (the device set cannot be opened) or 19 (enumeration
// ended with an error; what was listed so far stays).
outcome enumerate_devices(device_source_i& source, const std::vector<device_class_entry>& classes,
                       std::vector<device_record>& list, scan_progress& progress);

// The steps of one device, on the source's current device.
bool read_device_basics(device_source_i& source, device_record& record);
bool read_driver_key(device_source_i& source, device_record& record);
bool read_driver_rank(device_source_i& source, device_record& record);

// "month-day-year" becomes "year-mm-dd"; text that is not three numbers so
// separated is left as it is.
void normalize_driver_date(std::u16string& text);

// Whether a device with a driver is one the program never offers drivers
// for: software and legacy buses, disks, the ACPI system and processors.
bool is_excluded_device(const device_record& record);

}  // namespace quillary
