#include "backup/backup_catalogue.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstdio>

#include "base/ascii_text.h"
#include "base/xml_guard.h"
#include "base/xml_text.h"
#include "devices/device_record.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/text.h"

namespace quillary {
namespace {

// The six values of a device, by element name, with their capacities and
// their source in the device record.
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
constexpr size_t id_capacity = device_fields[0].capacity;

bool is_high_surrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// Cut to the capacity, never between the two halves of a character.
std::u16string fit_whole(std::u16string_view text, size_t capacity) {
  std::u16string out = fit(text, capacity);
  if (out.size() < text.size() && !out.empty() && is_high_surrogate(out.back())) out.pop_back();
  return out;
}

// A value as backup.xml gives it back: through the ANSI code page, cut to
// its capacity. The catalogue keeps values in this form from the start, so
// what it shows after a backup is what a later load shows.
std::u16string stored_form(std::u16string_view value, size_t capacity) {
  return fit_whole(from_ansi(to_ansi(up_to_nul(value))), capacity);
}

catalogue_device stored_copy(const device_record& device) {
  catalogue_device copy;
  for (const auto& f : device_fields) copy.*f.stored = stored_form(device.*f.source, f.capacity);
  return copy;
}

// The same driver package: the INF name the system gave it (oem12.inf),
// with the provider, version and date of the driver it holds. The INF name
// alone is not enough: the system gives a freed oemN.inf to the next
// package installed, and that package's backup must not replace the
// archive of the one before. The descriptions are left out: they name
// devices, not drivers.
bool same_driver(const catalogue_device& a, const catalogue_device& b) {
  return !a.name.empty() && equal_ignore_case(a.name, b.name) && a.manu == b.manu && a.version == b.version &&
         a.date == b.date;
}

// "name", then "name-2", "name-3", ..., the number before the extension.
std::u16string numbered_name(const std::u16string& stem, int n, const std::u16string& extension) {
  return n == 1 ? stem + extension : stem + u"-" + ascii_to_utf16(std::to_string(n)) + extension;
}

// A name inside the backup folder, not a path leading out of it.
bool is_plain_file_name(const std::u16string& name) { return name.find_first_of(u"\\/:") == std::u16string::npos; }

bool same_file_name(const std::u16string& a, const std::u16string& b) { return equal_ignore_case(a, b); }

// The text of a child element: all its text and CDATA sections joined, as a
// text holding "]]>" is written in two sections. False when the element is
// missing; an element without text holds the empty text.
bool child_text(const TiXmlElement& parent, const char* name, std::string& out) {
  const TiXmlElement* child = parent.FirstChildElement(name);
  if (!child) return false;
  std::string storage;
  const auto text = element_text(*child, storage);
  out.assign(text ? *text : std::string_view());
  return true;
}

void add_text(TiXmlElement& parent, const char* name, const std::string& text, bool cdata) {
  auto* element = new TiXmlElement(name);
  auto* content = new TiXmlText(cdata ? split_cdata_terminators(text) : text);
  content->SetCDATA(cdata);
  element->LinkEndChild(content);
  parent.LinkEndChild(element);
}

// Plain text as the parser gives it back: runs of blanks as one, none at
// the ends (the printer writes the other white space as references).
std::string as_plain_text(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// The bytes are in the ANSI code page although the declaration says UTF-8:
// they are read as they are.
bool parse_catalogue(const std::string& bytes, TiXmlDocument& doc) {
  // Nested deeper than any catalogue, a damaged or planted file would
  // overflow the parser's stack.
  if (check_xml_nesting(bytes).verdict != xml_guard_verdict::accepted) return false;
  doc.Parse(bytes.c_str(), nullptr, TIXML_ENCODING_LEGACY);
  return !doc.Error() && doc.RootElement();
}

bool read_device(const TiXmlElement& element, catalogue_device& out) {
  std::string text;
  for (const auto& f : device_fields) {
    if (!child_text(element, f.element, text)) return false;
    out.*f.stored = fit_whole(from_ansi(text), f.capacity);
  }
  return true;
}

}  // namespace

std::string local_date_text() {
  const local_time now = platform::current_local_time();
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", now.year, now.month, now.day);
  return text;
}

bool is_present(const catalogue_device& device, const std::vector<device_record>& devices) {
  return std::any_of(devices.begin(), devices.end(), [&](const device_record& d) {
    return stored_form(d.device_id, id_capacity) == device.id;
  });
}

backup_catalogue_c::backup_catalogue_c(std::u16string file, std::u16string backup_folder)
    : file_(std::move(file)), backup_folder_(std::move(backup_folder)) {}

void backup_catalogue_c::set_backup_folder(std::u16string folder) {
  std::lock_guard<std::mutex> hold(lock_);
  backup_folder_ = std::move(folder);
}

std::vector<catalogue_entry> backup_catalogue_c::entries() const {
  std::lock_guard<std::mutex> hold(lock_);
  return entries_;
}

std::vector<catalogue_entry> backup_catalogue_c::entries_made_way_for(const std::string& link) const {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<catalogue_entry> found;
  for (const auto& entry : entries_) {
    if (std::find(entry.made_way_for.begin(), entry.made_way_for.end(), link) != entry.made_way_for.end()) {
      found.push_back(entry);
    }
  }
  return found;
}

std::vector<std::u16string> backup_catalogue_c::set_aside_files() const {
  std::lock_guard<std::mutex> hold(lock_);
  return set_aside_;
}

bool backup_catalogue_c::read_entry(const void* raw, catalogue_entry& out) const {
  const auto& driver = *static_cast<const TiXmlElement*>(raw);
  std::string date;
  if (!child_text(driver, "file", out.file) || !child_text(driver, "date", date)) return false;
  out.file = out.file.substr(0, 259);
  if (out.file.empty()) return false;
  // An archive that was deleted or moved drops out here.
  if (!platform::file_exists(platform::join_path(backup_folder_, from_ansi(out.file)))) return false;
  out.date = as_plain_text(date).substr(0, 10);
  // Cut to ten characters, a damaged date may end in white space, which
  // would not read back as saved.
  while (!out.date.empty() && is_ascii_space(out.date.back())) out.date.pop_back();

  for (const TiXmlElement* link = driver.FirstChildElement("made_way_for");
       link && out.made_way_for.size() < max_made_way_for; link = link->NextSiblingElement("made_way_for")) {
    std::string storage;
    const auto text = element_text(*link, storage);
    if (text && !text->empty() && text->size() <= max_link_bytes) out.made_way_for.emplace_back(*text);
  }
  // A damaged device is skipped: the devices after it are as good.
  const TiXmlElement* list = driver.FirstChildElement("devices");
  const TiXmlElement* device = list ? list->FirstChildElement("device") : nullptr;
  for (; device; device = device->NextSiblingElement("device")) {
    catalogue_device entry;
    if (!read_device(*device, entry)) continue;
    entry.backup_date = from_ansi(out.date);
    entry.archive = from_ansi(out.file);
    out.devices.push_back(std::move(entry));
  }
  return !out.devices.empty();
}

int backup_catalogue_c::load() {
  std::lock_guard<std::mutex> hold(lock_);
  return load_locked();
}

int backup_catalogue_c::load_locked() {
  if (!platform::file_exists(file_)) return -1;
  std::string bytes;
  // A file that cannot be read just now (another program holds it) is left
  // where it is; one that does not parse is set aside.
  if (!platform::read_whole_file(file_, bytes)) return -1;
  TiXmlDocument doc;
  if (!parse_catalogue(bytes, doc)) {
    set_aside_locked();
    return -1;
  }
  known_bytes_ = bytes;
  const TiXmlElement* root = doc.RootElement();
  if (!root->FirstChildElement("driver")) return -1;
  entries_.clear();
  for (const TiXmlElement* driver = root->FirstChildElement("driver"); driver;
       driver = driver->NextSiblingElement("driver")) {
    catalogue_entry entry;
    if (read_entry(driver, entry)) entries_.push_back(std::move(entry));
  }
  return 0;
}

// Moves the unreadable catalogue to the first free name of
// "backup.xml.unreadable", "backup.xml.unreadable-2", ...: never over
// another file, since each may be a catalogue a user needs.
bool backup_catalogue_c::set_aside_locked() {
  for (int n = 1; n <= 1000; ++n) {
    const std::u16string target = numbered_name(file_ + u".unreadable", n, u"");
    if (platform::file_exists(target)) continue;
    if (platform::move_file_no_replace(file_, target)) {
      set_aside_.push_back(target);
      return true;
    }
    if (!platform::file_exists(file_)) return true;  // someone else moved it meanwhile
  }
  return false;
}

// The file is replaced only when it is missing or holds what this catalogue
// last read or wrote: anything else would be lost. A file that does not
// parse is set aside first; one that cannot be read, or a catalogue this
// one has not read, is kept.
bool backup_catalogue_c::may_replace_file_locked() {
  if (!platform::file_exists(file_)) return true;
  std::string bytes;
  if (!platform::read_whole_file(file_, bytes)) return false;
  if (bytes == known_bytes_) return true;
  TiXmlDocument doc;
  return !parse_catalogue(bytes, doc) && set_aside_locked();
}

int backup_catalogue_c::save() {
  std::lock_guard<std::mutex> hold(lock_);
  return save_locked();
}

int backup_catalogue_c::save_locked() {
  if (!may_replace_file_locked()) return -1;
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
      for (const auto& f : device_fields) add_text(*device, f.element, to_ansi(d.*f.stored), true);
      devices->LinkEndChild(device);
    }
    driver->LinkEndChild(devices);
    for (const auto& link : entry.made_way_for) add_text(*driver, "made_way_for", link, true);
    root->LinkEndChild(driver);
  }
  // Lines end in CR LF, as a file written in text mode on Windows; the
  // texts inside keep their own line ends.
  TiXmlPrinter printer;
  printer.SetIndent("\t");
  printer.SetLineBreak("\r\n");
  doc.Accept(&printer);

  const std::string text = printer.Str();
  const std::u16string temporary = file_ + u".tmp";
  std::FILE* out = platform::open_file(temporary, "wb");
  if (!out) return -1;
  const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  if (std::fclose(out) != 0 || !written || !platform::replace_file(temporary, file_)) {
    platform::remove_file(temporary);
    return -1;
  }
  known_bytes_ = text;
  return 0;
}

int backup_catalogue_c::record_backup(const std::u16string& archive_path,
                                      const std::vector<const device_record*>& devices, const std::string& today,
                                      const std::string& made_way_for) {
  std::lock_guard<std::mutex> hold(lock_);
  // Into the catalogue as the file holds it now: it may never have been
  // loaded, or another run may have recorded since.
  load_locked();
  catalogue_entry entry;
  entry.file = to_ansi(platform::file_name_part(archive_path)).substr(0, 259);
  entry.date = today;
  for (const device_record* device : devices) entry.devices.push_back(stored_copy(*device));
  auto same = std::find_if(entries_.begin(), entries_.end(), [&](const catalogue_entry& e) {
    return same_file_name(from_ansi(e.file), from_ansi(entry.file));
  });
  if (same == entries_.end()) {
    same = entries_.insert(entries_.end(), std::move(entry));
  } else {
    same->date = entry.date;
    same->devices = std::move(entry.devices);
  }
  auto& links = same->made_way_for;
  if (!made_way_for.empty() && made_way_for.size() <= max_link_bytes &&
      std::find(links.begin(), links.end(), made_way_for) == links.end()) {
    links.push_back(made_way_for);
    // The oldest go first: the package of the newest is the one to undo.
    if (links.size() > max_made_way_for) links.erase(links.begin());
  }
  return save_locked();
}

const catalogue_entry* backup_catalogue_c::entry_of_package_locked(
    const std::vector<const device_record*>& package_devices) const {
  for (const device_record* device : package_devices) {
    const catalogue_device wanted = stored_copy(*device);
    for (const auto& entry : entries_) {
      for (const auto& d : entry.devices) {
        if (same_driver(d, wanted)) return &entry;
      }
    }
  }
  return nullptr;
}

bool backup_catalogue_c::name_taken_locked(const std::u16string& name,
                                           const std::vector<std::u16string>& files_on_disk) const {
  const auto same = [&](const std::u16string& other) { return same_file_name(other, name); };
  return std::any_of(files_on_disk.begin(), files_on_disk.end(), same) ||
         std::any_of(entries_.begin(), entries_.end(),
                     [&](const catalogue_entry& e) { return same(from_ansi(e.file)); });
}

// Backing up the same package again replaces its own archive; any other
// file of the name, with or without an entry, stays untouched. Names are
// compared as Windows compares file names, without regard to letter case.
std::u16string backup_catalogue_c::archive_for_package(const std::vector<const device_record*>& package_devices,
                                                       const std::u16string& preferred_name) {
  std::lock_guard<std::mutex> hold(lock_);
  load_locked();  // another run may have recorded since
  const catalogue_entry* own = entry_of_package_locked(package_devices);
  if (own && is_plain_file_name(from_ansi(own->file))) return from_ansi(own->file);
  const std::vector<std::u16string> files_on_disk = platform::folder_entries(backup_folder_);
  const size_t dot = std::min(preferred_name.rfind(u'.'), preferred_name.size());
  const std::u16string stem = preferred_name.substr(0, dot), extension = preferred_name.substr(dot);
  std::u16string name = preferred_name;
  for (int n = 2; name_taken_locked(name, files_on_disk); ++n) name = numbered_name(stem, n, extension);
  return name;
}

}  // namespace quillary
