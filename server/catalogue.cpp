#include "server/catalogue.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "base/ascii_text.h"
#include "base/inf_text.h"
#include "server/package_signature.h"

namespace quillary::server {

namespace {

std::string folder_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

bool catalogue_c::add_package(catalogue_package package, const archive_listing& listing, const warning_sink& warn,
                              std::string& reason) {
  std::set<std::string> files;
  for (const auto& path : listing.paths) files.insert(to_upper_ascii(path));

  for (const auto& line : listing.unread) warn(package.file_name + ": " + line);
  for (const auto& name : listing.refused) {
    warn(package.file_name + ": " + name + ": a name that would land outside the package's folder, left out");
  }
  std::vector<catalogue_inf> added;
  for (const auto& file : listing.infs) {
    inf_file_c inf;
    catalogue_inf entry;
    std::string why;
    if (!inf.parse(decode_inf_bytes(file.data), why) || !read_inf_driver(inf, entry.driver, why)) {
      warn(package.file_name + ": " + file.path + ": " + why);
      continue;
    }
    entry.package = packages_.size();
    entry.path = file.path;
    for (const auto& manufacturer : entry.driver.manufacturers) {
      std::vector<bool> flags;
      for (const auto& section : manufacturer.sections) {
        const std::string catalog = folder_of(file.path) + section.catalog_file;
        flags.push_back(!section.catalog_file.empty() && files.count(to_upper_ascii(catalog)) > 0);
      }
      entry.signed_sections.push_back(std::move(flags));
    }
    added.push_back(std::move(entry));
  }
  if (added.empty()) {
    reason = "no usable INF file";
    return false;
  }

  for (auto& entry : added) {
    const auto inf_index = static_cast<uint32_t>(infs_.size());
    const auto& manufacturers = entry.driver.manufacturers;
    for (uint32_t m = 0; m < manufacturers.size(); ++m) {
      for (uint32_t s = 0; s < manufacturers[m].sections.size(); ++s) {
        const auto& models = manufacturers[m].sections[s].models;
        for (uint32_t i = 0; i < models.size(); ++i) {
          for (uint32_t p = 0; p < models[i].ids.size(); ++p) {
            auto& hits = ids_[to_upper_ascii(models[i].ids[p])];
            const catalogue_hit hit{inf_index, m, s, i, p};
            // A model that repeats an ID keeps its first position.
            const bool repeated = !hits.empty() && hits.back().inf == inf_index && hits.back().manufacturer == m &&
                                  hits.back().section == s && hits.back().model == i;
            if (!repeated) hits.push_back(hit);
          }
        }
      }
    }
    infs_.push_back(std::move(entry));
  }
  package_names_.emplace(package.file_name, packages_.size());
  packages_.push_back(std::move(package));
  return true;
}

bool catalogue_c::index_folder(const std::string& folder, const warning_sink& warn, std::string& reason) {
  std::vector<package_file> files;
  if (!list_package_files(folder, warn, files, reason)) return false;
  hash_package_files(folder, files, {}, warn);
  read_package_signatures(folder, files, warn);
  add_package_files(folder, files, warn);
  return true;
}

void catalogue_c::add_package_files(const std::string& folder, const std::vector<package_file>& files,
                                    const warning_sink& warn) {
  for (const auto& file : files) {
    if (!package_file_unchanged(folder, file)) {
      warn(file.name + ": gone or changed since it was indexed");
      continue;
    }
    const std::string path = (std::filesystem::path(folder) / file.name).string();
    archive_listing listing;
    std::string why;
    if (!read_archive(path, listing, why) ||
        !add_package(catalogue_package{file.name, path, file.size, file.sha256, file.minisig}, listing, warn, why)) {
      warn(file.name + ": " + why);
    }
  }
}

const std::vector<catalogue_hit>* catalogue_c::find_id(std::string_view id) const {
  const auto it = ids_.find(to_upper_ascii(id));
  return it == ids_.end() ? nullptr : &it->second;
}

const catalogue_package* catalogue_c::find_package(std::string_view name) const {
  const auto it = package_names_.find(std::string(name));
  return it == package_names_.end() ? nullptr : &packages_[it->second];
}

}  // namespace quillary::server
