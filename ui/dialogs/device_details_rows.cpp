#include "ui/dialogs/device_details_rows.h"

#include <cstdio>

#include "platform/text.h"

namespace quillary {

namespace {

const std::u16string blank = u"(blank)";

// A multi-string shown as the system's list views show it: up to its first
// terminator, i.e. its first ID.
std::u16string first_of(const std::vector<std::u16string>& ids) { return ids.empty() ? u"" : ids.front(); }

std::u16string rank_text(uint32_t rank) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(rank));
  return ascii_to_utf16(buffer);
}

}  // namespace

std::u16string_view inf_file_name(std::u16string_view inf_path) {
  const size_t slash = inf_path.rfind(u'\\');
  return slash == std::u16string_view::npos ? inf_path : inf_path.substr(slash + 1);
}

std::array<device_detail_row, device_detail_row_count> device_detail_rows(const device_record& device,
                                                                          const update_item* offer) {
  auto offered = [offer](update_item::text_field field) {
    return offer ? std::u16string(offer->text(field)) : blank;
  };
  const device_class_entry* entry = device.class_entry;
  return {{
      {"device_detail_list_device_id", device.device_id, blank},
      {"device_detail_list_device_desc", device.driver_description, offered(update_item::desc)},
      {"device_detail_list_matching_device_id", device.matching_device_id, offered(update_item::hardid)},
      {"device_detail_list_hardware_ids", first_of(device.hardware_ids), blank},
      {"device_detail_list_compatible_ids", first_of(device.compatible_ids), blank},
      {"device_detail_list_manufacturer", device.provider_name, offered(update_item::manu)},
      {"device_detail_list_inf_name", device.inf_path,
       offer ? std::u16string(inf_file_name(offer->text(update_item::inf_name))) : blank},
      {"device_detail_list_inf_date", device.driver_date, offered(update_item::date)},
      {"device_detail_list_inf_version", device.driver_version, offered(update_item::ver)},
      {"device_detail_list_class_name", entry ? entry->name : u"", blank},
      {"device_detail_list_class_desc", entry ? entry->description : u"", blank},
      {"device_detail_list_enumerator", device.enumerator, blank},
      {"device_detail_list_rank_of_installed_driver", rank_text(device.driver_rank), blank},
  }};
}

}  // namespace quillary
