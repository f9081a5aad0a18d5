// quillary-service: the reference update service. See server/README.md.
#include <malloc.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "server/catalogue.h"
#include "server/catalogue_builder.h"
#include "server/connection_hub.h"
#include "server/listener.h"
#include "server/options.h"
#include "server/package_index.h"
#include "server/package_signature.h"
#include "server/service_context.h"

using namespace quillary::server;

namespace {

int fail(int code, const std::string& reason) {
  std::fprintf(stderr, "quillary-service: %s\n", reason.c_str());
  return code;
}

void warn_skipped(const std::string& line) { std::fprintf(stderr, "quillary-service: skipped %s\n", line.c_str()); }

// Whether the file begins as a catalogue image does (rather than as the
// text index that services before it wrote).
bool is_catalogue_image(const std::string& path) {
  char first[sizeof quillary::server::image::magic - 1] = {};
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  const size_t got = std::fread(first, 1, sizeof first, file);
  std::fclose(file);
  return got == sizeof first && std::memcmp(first, quillary::server::image::magic, sizeof first) == 0;
}

// The catalogue from the index file, or from the folder itself.
std::shared_ptr<const catalogue_c> load_catalogue(const service_options& options, std::string& reason) {
  std::shared_ptr<catalogue_c> catalogue;
  if (options.index.empty()) {
    catalogue_builder_c builder;
    if (!builder.index_folder(options.catalogue, warn_skipped, reason)) return nullptr;
    catalogue = builder.build(options.catalogue);
  } else if (is_catalogue_image(options.index)) {
    catalogue = catalogue_c::map_file(options.index, options.catalogue, reason);
    if (!catalogue) return nullptr;
    catalogue->withdraw_changed_packages(warn_skipped);
  } else {
    // An index of the earlier text format lists the packages and their
    // digests only: their archives are read here.
    std::vector<package_file> files;
    if (!read_package_index(options.index, files, reason)) return nullptr;
    catalogue_builder_c builder;
    builder.add_package_files(options.catalogue, files, warn_skipped);
    catalogue = builder.build(options.catalogue);
  }
  if (!catalogue) {
    reason = "the catalogue could not be built";
    return nullptr;
  }
  if (catalogue->offered_package_count() == 0) {
    std::fprintf(stderr, "quillary-service: warning: no usable package in %s\n", options.catalogue.c_str());
  }
  return catalogue;
}

// The packages an earlier index vouches for, of either format: their
// digests are taken again when name, size and time still agree.
std::vector<package_file> known_packages(const std::string& index) {
  std::string ignored;
  if (is_catalogue_image(index)) {
    const auto old = catalogue_c::map_file(index, {}, ignored);
    return old ? old->package_files() : std::vector<package_file>{};
  }
  std::vector<package_file> known;
  read_package_index(index, known, ignored);  // a first index has none
  return known;
}

// --write-index: hashes what the old index does not vouch for, reads every
// signature file and every archive again, and puts the new index in place.
int write_index(const service_options& options) {
  std::string reason;
  const std::vector<package_file> known = known_packages(options.write_index);
  std::vector<package_file> files;
  if (!list_package_files(options.catalogue, warn_skipped, files, reason)) return fail(1, reason);
  hash_package_files(options.catalogue, files, known, warn_skipped);
  read_package_signatures(options.catalogue, files, warn_skipped);
  catalogue_builder_c builder;
  builder.add_package_files(options.catalogue, files, warn_skipped);
  size_t signed_files = 0;
  for (const auto& file : files) signed_files += file.minisig.empty() ? 0 : 1;
  const size_t packages = builder.package_count();
  const size_t infs = builder.inf_count();
  if (!write_catalogue_image(options.write_index, builder.finish().pieces(), reason)) return fail(1, reason);
  std::printf("quillary-service: %zu package files (%zu signed), %zu of them indexed with %zu INF files, in %s\n",
              files.size(), signed_files, packages, infs, options.write_index.c_str());
  return 0;
}

// Queries hold buffers of megabytes for a moment (the inflated document,
// the reply). With a fixed threshold glibc maps each of them on its own and
// gives it back when freed; left to itself it raises the threshold after
// the first such free and keeps later ones in its heaps, where they stay
// part of the process after a burst of large queries.
void return_large_buffers() { mallopt(M_MMAP_THRESHOLD, 256 * 1024); }

// Many slow clients each hold a descriptor while their request arrives.
void raise_descriptor_limit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  service_options options;
  std::string reason;
  if (!parse_options(args, options, reason)) return fail(2, reason);
  if (options.help) {
    std::fputs(usage_text(), stdout);
    return 0;
  }
  if (!options.write_index.empty()) return write_index(options);

  // The signals that stop the service, and the one that reads the catalogue
  // again, are taken by sigwait on the main thread; every thread started
  // later inherits the mask. Writes to a closed connection must not end the
  // process.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  raise_descriptor_limit();
  return_large_buffers();

  std::shared_ptr<const catalogue_c> catalogue = load_catalogue(options, reason);
  if (!catalogue) return fail(1, reason);

  listener_set_c listeners;
  if (!listeners.open(options.listen, reason)) return fail(1, reason);
  for (const auto& authority : listeners.authorities()) {
    std::printf("quillary-service: listening on http://%s/\n", authority.c_str());
  }
  std::fflush(stdout);

  service_context_c context(std::move(catalogue), options);
  connection_hub_c hub(listeners, context);
  if (options.fault.kind == fault_kind::refuse) {
    // Nothing listens on the ports any more: connections are refused.
    listeners.close_all();
  } else if (!hub.start(reason)) {
    return fail(1, reason);
  }

  int received = 0;
  while (sigwait(&signals, &received) == 0 && received == SIGHUP) {
    // Requests under way keep the catalogue they started with.
    if (auto fresh = load_catalogue(options, reason)) {
      context.replace_catalogue(std::move(fresh));
      context.warn("catalogue read again: " + std::to_string(context.catalogue()->offered_package_count()) + " packages");
    } else {
      context.warn("catalogue not read again, the old one stays: " + reason);
    }
  }
  if (!hub.stop()) {
    // A connection thread did not end in time; it still uses the catalogue,
    // so the process must not run its destructors under it.
    std::fflush(stderr);
    std::_Exit(0);
  }
  return 0;
}
