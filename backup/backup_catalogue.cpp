#include "backup/backup_catalogue.h"

#include <tinyxml.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "devices/device_record.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/text.h"

namespace quillary {
namespace {

// The six values of a device, by element name, with their capacities when
// read back and their source in the live record.
struct device_field {
  const char* element;
  size_t capacity;
  std::u16string catalogue_device::*stored;
  std::u16string device_record::*source;
};
constexpr device_field device_fields[] = {
    {"id", 200, &catalogue_device::id, &device_record::device_id},
    {"desc", 1025, &catalogue_device::desc, &device_record::description},
    {"manu", 129, &catalogue_device::manu, &device_record::provider_name},
    {"name", 260, &catalogue_device::name, &device_record::inf_path},
    {"version", 32, &catalogue_device::version, &device_record::driver_version},
    {"date", 11, &catalogue_device::date, &device_record::driver_date},
};

const char* child_text(const TiXmlElement& parent, const char* name) {
  const TiXmlElement* child = parent.FirstChildElement(name);
  return child ? child->GetText() : nullptr;
}

void add_text(TiXmlElement& parent, const char* name, const std::string& text, bool cdata) {
  auto* element = new TiXmlElement(name);
  auto* content = new TiXmlText(text);
  content->SetCDATA(cdata);
  element->LinkEndChild(content);
  parent.LinkEndChild(element);
}

}  // namespace

std::string local_date_text() {
  const local_time now = platform::current_local_time();
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", now.year, now.month, now.day);
  return text;
}

backup_catalogue_c::backup_catalogue_c(std::u16string file, std::u16string backup_folder,
                                       std::vector<device_record>& devices)
    : file_(std::move(file)), backup_folder_(std::move(backup_folder)), devices_(devices) {}

void backup_catalogue_c::set_backup_folder(std::u16string folder) {
  std::lock_guard<std::mutex> hold(lock_);
  backup_folder_ = std::move(folder);
}

std::vector<catalogue_entry> backup_catalogue_c::entries() const {
  std::lock_guard<std::mutex> hold(lock_);
  return entries_;
}

bool backup_catalogue_c::read_entry(const void* raw, catalogue_entry& out) const {
  const auto& driver = *static_cast<const TiXmlElement*>(raw);
  const char* file = child_text(driver, "file");
  const char* date = child_text(driver, "date");
  if (!file || !date) return false;
  out.file = std::string(file).substr(0, 259);
  // An archive that was deleted or moved drops out here.
  if (!platform::file_exists(platform::join_path(backup_folder_, from_ansi(out.file)))) return false;
  out.date = std::string(date).substr(0, 10);
  // The parser hands plain text over with its blanks condensed and none at
  // the ends; cut to ten characters, a damaged date may end in one, which
  // would not read back as saved.
  while (!out.date.empty() && std::isspace(static_cast<unsigned char>(out.date.back()))) out.date.pop_back();

  const TiXmlElement* list = driver.FirstChildElement("devices");
  const TiXmlElement* device = list ? list->FirstChildElement("device") : nullptr;
  for (; device; device = device->NextSiblingElement("device")) {
    catalogue_device entry;
    bool complete = true;
    for (const auto& f : device_fields) {
      const char* text = child_text(*device, f.element);
      if (!text) {
        complete = false;
        break;
      }
      entry.*f.stored = fit(from_ansi(text), f.capacity);
    }
    // Devices not in the current device list are never in the catalogue.
    auto live = std::find_if(devices_.begin(), devices_.end(),
                             [&](const device_record& d) { return d.device_id == entry.id; });
    if (!complete || live == devices_.end()) break;  // the devices read before it stay
    entry.device = &*live;
    entry.backup_date = from_ansi(out.date);
    entry.archive = from_ansi(out.file);
    out.devices.push_back(std::move(entry));
  }
  return !out.devices.empty();
}

int backup_catalogue_c::load() {
  std::lock_guard<std::mutex> hold(lock_);
  std::string bytes;
  if (!platform::read_whole_file(file_, bytes)) return -1;
  // The bytes are in the ANSI code page although the declaration says
  // UTF-8: they are read as they are.
  TiXmlDocument doc;
  doc.Parse(bytes.c_str(), nullptr, TIXML_ENCODING_LEGACY);
  const TiXmlElement* root = doc.RootElement();
  if (doc.Error() || !root || !root->FirstChildElement("driver")) return -1;
  entries_.clear();
  for (const TiXmlElement* driver = root->FirstChildElement("driver"); driver;
       driver = driver->NextSiblingElement("driver")) {
    catalogue_entry entry;
    if (read_entry(driver, entry)) entries_.push_back(std::move(entry));
  }
  return 0;
}

int backup_catalogue_c::save() {
  std::lock_guard<std::mutex> hold(lock_);
  return save_locked();
}

int backup_catalogue_c::save_locked() {
  TiXmlDocument doc;
  doc.LinkEndChild(new TiXmlDeclaration("1.0", "UTF-8", ""));
  auto* root = new TiXmlElement("quillary");
  doc.LinkEndChild(root);
  for (const auto& entry : entries_) {
    auto* driver = new TiXmlElement("driver");
    add_text(*driver, "file", entry.file, true);
    add_text(*driver, "date", entry.date, false);
    auto* devices = new TiXmlElement("devices");
    for (const auto& d : entry.devices) {
      auto* device = new TiXmlElement("device");
      // The values come from the live records at writing time.
      for (const auto& f : device_fields) add_text(*device, f.element, to_ansi(d.device->*f.source), true);
      devices->LinkEndChild(device);
    }
    driver->LinkEndChild(devices);
    root->LinkEndChild(driver);
  }
  TiXmlPrinter printer;
  printer.SetIndent("\t");
  printer.SetLineBreak("\n");
  doc.Accept(&printer);

  // Text mode on Windows: every line ends in CR LF on disk.
  std::string text;
  for (const char c : printer.Str()) {
    if (c == '\n') text += '\r';
    text += c;
  }
  const std::u16string temporary = file_ + u".tmp";
  std::FILE* out = platform::open_file(temporary, "wb");
  if (!out) return -1;
  const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  if (std::fclose(out) != 0 || !written || !platform::replace_file(temporary, file_)) {
    platform::remove_file(temporary);
    return -1;
  }
  return 0;
}

int backup_catalogue_c::record_backup(const std::u16string& archive_path,
                                      const std::vector<device_record*>& devices, const std::string& today) {
  std::lock_guard<std::mutex> hold(lock_);
  catalogue_entry entry;
  entry.file = to_ansi(platform::file_name_part(archive_path)).substr(0, 259);
  entry.date = today;
  for (device_record* device : devices) {
    catalogue_device d;
    d.device = device;
    for (const auto& f : device_fields) d.*f.stored = fit(device->*f.source, f.capacity);
    entry.devices.push_back(std::move(d));
  }
  auto same = std::find_if(entries_.begin(), entries_.end(), [&](const catalogue_entry& e) { return e.file == entry.file; });
  if (same != entries_.end()) {
    same->date = entry.date;
    same->devices = std::move(entry.devices);
  } else {
    entries_.push_back(std::move(entry));
  }
  return save_locked();
}

}  // namespace quillary
