// What an INF file offers: its [Version] values and, per manufacturer, the
// models sections with their decorations and the device IDs of each model.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/inf_file.h"
#include "server/target_os.h"

namespace quillary::server {

// One text as a [Strings.LLLL] section gives it.
struct localized_text {
  uint16_t language = 0;  // LANGID of the [Strings.LLLL] section
  std::string text;
};

struct inf_model {
  std::string description;      // the model line's key, tokens substituted
  std::string install_section;  // the first field
  // The model's IDs in line order: the hardware ID first, then the
  // compatible IDs. Empty fields are dropped, so `compatible_from` tells
  // where the compatible IDs begin.
  std::vector<std::string> ids;
  size_t compatible_from = 0;
  uint32_t feature_score = 0xFF;  // FeatureScore of the install section, else 0xFF
  // Only languages whose text differs from `description`, sorted by language
  // (and, where some language of a primary language differs, the others of
  // it too: see keep_differing_texts in server/localized_text.h). Read with
  // text_in_language.
  std::vector<localized_text> localized_descriptions;
};

struct inf_models_section {
  std::string name;  // full section name, decoration included
  bool decorated = false;
  target_decoration decoration;
  std::string catalog_file;  // the CatalogFile directive for its architecture
  std::vector<inf_model> models;
};

struct inf_manufacturer {
  std::string name;
  std::vector<localized_text> localized_names;  // likewise
  // The undecorated section first (when the file has it), then the
  // decorated ones in the order the manufacturer line lists them.
  std::vector<inf_models_section> sections;
};

struct inf_driver {
  std::string provider;
  std::vector<localized_text> localized_providers;  // likewise
  std::string class_name;
  std::string class_guid;
  std::string date;     // YYYY-MM-DD
  std::string version;  // dotted, "0.0.0.0" when DriverVer gives none
  std::vector<inf_manufacturer> manufacturers;
};

// Reads the driver description of a parsed INF. Fails with a reason when the
// file has no [Version] signature of a Windows INF, no valid DriverVer, or
// no model with an ID for any manufacturer.
bool read_inf_driver(const inf_file_c& inf, inf_driver& out, std::string& reason);

// The models section of one manufacturer that the system would use for this
// client: the most specific fitting decorated one, else the undecorated one
// for an x86 client; null when none applies.
const inf_models_section* choose_models_section(const inf_manufacturer& manufacturer, const client_os& os);

}  // namespace quillary::server
