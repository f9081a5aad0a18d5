#include "server/package_index.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>

#include "base/ascii_text.h"
#include "base/minisign.h"
#include "base/sha256.h"
#include "server/package_signature.h"

namespace quillary::server {

namespace {

namespace fs = std::filesystem;

constexpr char index_format[] = "quillary-package-index 2";
constexpr char old_index_format[] = "quillary-package-index 1";
constexpr char no_signature[] = "-";
// The reply's `size` is read into 32 bits by the client.
constexpr uint64_t max_package_size = 0xFFFFFFFFull;

bool file_facts(const fs::path& path, uint64_t& size, int64_t& modified) {
  std::error_code error;
  size = fs::file_size(path, error);
  if (error) return false;
  const auto time = fs::last_write_time(path, error);
  if (error) return false;
  modified = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
  return true;
}

// `buffer` is the caller's, one for all the files: a megabyte allocated per
// file would be a fresh memory mapping each time (the service lowers the
// mapping threshold), a few hundred page faults per package.
bool hash_file(const fs::path& path, uint64_t size, std::vector<char>& buffer, std::string& hex) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  sha256_c hash;
  uint64_t read = 0;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    hash.update(buffer.data(), static_cast<size_t>(in.gcount()));
    read += static_cast<uint64_t>(in.gcount());
  }
  if (read != size) return false;  // changed while it was read
  hex = to_hex(hash.digest());
  return true;
}

bool is_hex_digest(const std::string& text) {
  return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

bool list_package_files(const std::string& folder, const warning_sink& warn, std::vector<package_file>& out,
                        std::string& reason) {
  out.clear();
  std::error_code error;
  fs::directory_iterator it(folder, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    const std::string name = it->path().filename().string();
    // Zip archives and cabinets; which of the two a file is, its first bytes say.
    const std::string extension = name.size() > 4 ? name.substr(name.size() - 4) : std::string();
    if (!equal_ignore_case_ascii(extension, ".zip") && !equal_ignore_case_ascii(extension, ".cab")) continue;
    std::error_code kind_error;
    if (!it->is_regular_file(kind_error)) continue;
    package_file file;
    file.name = name;
    if (!file_facts(it->path(), file.size, file.modified)) {
      warn(name + ": cannot read its size and time");
    } else if (file.size > max_package_size) {
      warn(name + ": 4 GiB or larger, which the client cannot take");
    } else if (name.find('\n') != std::string::npos) {
      warn(name + ": a line break in the name");
    } else {
      out.push_back(std::move(file));
    }
  }
  if (error) {
    reason = "cannot list " + folder + ": " + error.message();
    return false;
  }
  std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return true;
}

void hash_package_files(const std::string& folder, std::vector<package_file>& files,
                        const std::vector<package_file>& known, const warning_sink& warn) {
  std::map<std::string, const package_file*> by_name;
  for (const auto& file : known) by_name[file.name] = &file;
  std::vector<package_file> hashed;
  std::vector<char> buffer(1 << 20);
  for (auto& file : files) {
    const auto it = by_name.find(file.name);
    if (it != by_name.end() && it->second->size == file.size && it->second->modified == file.modified) {
      file.sha256 = it->second->sha256;
    } else if (!hash_file(fs::path(folder) / file.name, file.size, buffer, file.sha256)) {
      warn(file.name + ": cannot be read whole");
      continue;
    }
    hashed.push_back(std::move(file));
  }
  files = std::move(hashed);
}

bool read_package_index(const std::string& path, std::vector<package_file>& out, std::string& reason) {
  out.clear();
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line) || line != index_format) {
    reason = in && line == old_index_format
                 ? path + " is an index of an older format, without the packages' signatures: write it again "
                          "with --write-index"
                 : path + " is not a package index (written by --write-index)";
    return false;
  }
  for (size_t number = 2; std::getline(in, line); ++number) {
    std::istringstream fields(line);
    package_file file;
    std::string signature;
    fields >> file.sha256 >> file.size >> file.modified >> signature;
    bool good = fields && fields.get() == ' ' && std::getline(fields, file.name) && !file.name.empty() &&
                is_hex_digest(file.sha256);
    if (good && signature != no_signature) {
      good = decode_base64(signature, file.minisig) && file.minisig.size() <= max_signature_bytes &&
             is_plausible_signature(file.minisig);
    }
    if (!good) {
      reason = path + ": line " + std::to_string(number) + " is not \"SHA256 SIZE TIME SIGNATURE NAME\"";
      out.clear();
      return false;
    }
    out.push_back(std::move(file));
  }
  return true;
}

bool write_package_index(const std::string& path, const std::vector<package_file>& files, std::string& reason) {
  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << index_format << '\n';
    for (const auto& file : files) {
      out << file.sha256 << ' ' << file.size << ' ' << file.modified << ' '
          << (file.minisig.empty() ? std::string(no_signature) : encode_base64(file.minisig)) << ' ' << file.name
          << '\n';
    }
    if (!out.flush()) {
      reason = "cannot write " + temporary;
      return false;
    }
  }
  std::error_code error;
  fs::rename(temporary, path, error);
  if (error) {
    reason = "cannot put " + temporary + " in place: " + error.message();
    return false;
  }
  return true;
}

bool package_file_unchanged(const std::string& folder, const package_file& file) {
  uint64_t size = 0;
  int64_t modified = 0;
  return file_facts(fs::path(folder) / file.name, size, modified) && size == file.size && modified == file.modified;
}

}  // namespace quillary::server
