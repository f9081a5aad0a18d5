#include "server/inf_driver.h"

#include "base/ascii_text.h"
#include "base/inf_driver_ver.h"

namespace quillary::server {

namespace {

std::string architecture_suffix(const target_decoration& decoration) {
  switch (decoration.arch) {
    case cpu_arch::amd64: return ".NTamd64";
    case cpu_arch::x86: return ".NTx86";
    case cpu_arch::arm64: return ".NTarm64";
    default: return ".NTia64";
  }
}

// Directives of [Version] and install sections carry an optional platform
// extension: the architecture's own, then .NT, then none.
std::string platform_value(const inf_file_c& inf, std::string_view section, const std::string& key,
                           const target_decoration& decoration) {
  for (const std::string& suffix : {architecture_suffix(decoration), std::string(".NT"), std::string()}) {
    std::string value = inf.value_of(section, key + suffix);
    if (!value.empty()) return value;
  }
  return {};
}

uint32_t feature_score_of(const inf_file_c& inf, const std::string& install, const target_decoration& decoration) {
  for (const std::string& suffix : {architecture_suffix(decoration), std::string(".NT"), std::string()}) {
    if (inf.find_section(install + suffix) == nullptr) continue;
    const std::string directive = inf.value_of(install + suffix, "FeatureScore");
    std::string_view text = trim_blanks(directive);
    if (starts_with_ignore_case_ascii(text, "0x")) text.remove_prefix(2);
    uint64_t value;
    return parse_hex(text, value, 2) ? static_cast<uint32_t>(value) : 0xFF;
  }
  return 0xFF;
}

void read_models(const inf_file_c& inf, const inf_section& section, inf_models_section& out) {
  for (const auto& line : section.lines) {
    if (!line.has_key || line.fields.size() < 2) continue;
    inf_model model;
    model.description = line.key;
    model.install_section = line.fields[0];
    for (size_t i = 1; i < line.fields.size(); ++i) {
      if (i == 2) model.compatible_from = model.ids.size();
      if (!line.fields[i].empty()) model.ids.push_back(line.fields[i]);
    }
    if (line.fields.size() <= 2) model.compatible_from = model.ids.size();
    if (model.ids.empty()) continue;
    model.feature_score = feature_score_of(inf, model.install_section, out.decoration);
    out.models.push_back(std::move(model));
  }
}

inf_manufacturer read_manufacturer(const inf_file_c& inf, const inf_line& line) {
  inf_manufacturer manufacturer;
  const std::string& base = line.fields[0];
  manufacturer.name = line.has_key ? line.key : base;
  const auto add_section = [&](const std::string& name, bool decorated, const target_decoration& decoration) {
    const inf_section* section = inf.find_section(name);
    if (section == nullptr) return;
    inf_models_section models{name, decorated, decoration, {}, {}};
    models.catalog_file = platform_value(inf, "Version", "CatalogFile", decoration);
    read_models(inf, *section, models);
    if (!models.models.empty()) manufacturer.sections.push_back(std::move(models));
  };
  add_section(base, false, target_decoration{});
  for (size_t i = 1; i < line.fields.size(); ++i) {
    target_decoration decoration;
    if (parse_decoration(line.fields[i], decoration)) add_section(base + "." + line.fields[i], true, decoration);
  }
  return manufacturer;
}

}  // namespace

bool read_inf_driver(const inf_file_c& inf, inf_driver& out, std::string& reason) {
  out = inf_driver{};
  const std::string signature = inf.value_of("Version", "Signature");
  if (!equal_ignore_case_ascii(signature, "$Windows NT$") && !equal_ignore_case_ascii(signature, "$Chicago$") &&
      !equal_ignore_case_ascii(signature, "$Windows 95$")) {
    reason = "no [Version] signature";
    return false;
  }
  out.provider = inf.value_of("Version", "Provider");
  out.class_name = inf.value_of("Version", "Class");
  out.class_guid = inf.value_of("Version", "ClassGuid");

  inf_driver_ver driver_ver;
  if (!read_inf_driver_ver(inf, driver_ver, reason)) return false;
  out.date = std::move(driver_ver.date);
  out.version = std::move(driver_ver.version);

  if (const inf_section* manufacturers = inf.find_section("Manufacturer")) {
    for (const auto& line : manufacturers->lines) {
      if (line.fields[0].empty()) continue;
      inf_manufacturer manufacturer = read_manufacturer(inf, line);
      if (!manufacturer.sections.empty()) out.manufacturers.push_back(std::move(manufacturer));
    }
  }
  if (out.manufacturers.empty()) {
    reason = "no model with a device ID";
    return false;
  }
  return true;
}

const inf_models_section* choose_models_section(const inf_manufacturer& manufacturer, const client_os& os) {
  const inf_models_section* best = nullptr;
  for (const auto& section : manufacturer.sections) {
    if (!section.decorated || !decoration_fits(section.decoration, os)) continue;
    if (best == nullptr || compare_specificity(section.decoration, best->decoration) > 0) best = &section;
  }
  if (best != nullptr) return best;
  for (const auto& section : manufacturer.sections) {
    if (!section.decorated && decoration_fits(section.decoration, os)) return &section;
  }
  return nullptr;
}

}  // namespace quillary::server
