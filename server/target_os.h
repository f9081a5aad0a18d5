// Which Windows a models section is for, and which Windows the client runs.
//
// A models section name carries a decoration after its base name:
//   NT[Architecture][.[OSMajor][.[OSMinor][.[ProductType][.[SuiteMask][.Build]]]]]
// such as NTamd64.6.1 or NTamd64.10.0...22000 (Windows 11 and later). The
// program runs on x86, x64 and ARM64 PCs; ia64 and 32-bit ARM sections are
// read but never fit. A section without decoration, or decorated with plain
// "NT", is for x86 only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillary::server {

enum class cpu_arch { x86, amd64, arm64, other };

struct target_decoration {
  cpu_arch arch = cpu_arch::x86;
  bool has_arch = false;
  int major = -1;  // -1: any version
  int minor = -1;
  int product_type = 0;  // 0 any, 1 workstation, 2 domain controller, 3 server
  bool has_suite_mask = false;
  long build = -1;  // -1: any build
};

// False when the text is not a decoration (it must begin with "NT").
bool parse_decoration(std::string_view text, target_decoration& out);

// The client's system as its code name says (WIN764, WIN1164, WIN11ARM64,
// ...), with the build it reports when that fits the name.
struct client_os {
  bool known = false;  // false for NOT_SUPPORTED and unknown names
  cpu_arch arch = cpu_arch::x86;
  int major = 0;
  int minor = 0;
  int product_type = 1;
  long build = 0;
  int version_code() const { return major * 10 + minor; }
};
// `reported_build` (0 when the request has none) counts when it lies within
// the builds the name stands for (a WIN10 client below 22000, a WIN11 one
// from there); otherwise the name's first release build is assumed.
client_os client_os_for(std::string_view code_name, long reported_build = 0);

// Whether a section with this decoration applies to the client: same
// architecture, a version (and build) not above the client's, the same kind
// of product when one is named. The suite mask is not known for a client
// and does not exclude a section.
bool decoration_fits(const target_decoration& decoration, const client_os& os);

// The version code a section is built for: major * 10 + minor, or, with no
// version in the decoration, the first version that ran the architecture
// (50, Windows 2000, for x86; 52, Windows XP x64, for amd64; 100, Windows
// 10, for arm64).
uint32_t decoration_target_os(const target_decoration& decoration);

// Orders two fitting decorations as the system picks among them: the higher
// version first, then the one that names an architecture, a product type, a
// build. Negative when a is less specific than b, 0 when equal.
int compare_specificity(const target_decoration& a, const target_decoration& b);

// The section of one manufacturer the system would use for this client,
// among `count` sections where `section_at(i)` gives the i-th one's
// {decorated, decoration}: the most specific fitting decorated one, else
// the undecorated one for an x86 client; `count` when none applies.
template <class SectionAt>
size_t choose_section(size_t count, const client_os& os, SectionAt section_at) {
  size_t best = count;
  target_decoration best_decoration;
  for (size_t i = 0; i < count; ++i) {
    const auto [decorated, decoration] = section_at(i);
    if (!decorated || !decoration_fits(decoration, os)) continue;
    if (best == count || compare_specificity(decoration, best_decoration) > 0) {
      best = i;
      best_decoration = decoration;
    }
  }
  if (best != count) return best;
  for (size_t i = 0; i < count; ++i) {
    const auto [decorated, decoration] = section_at(i);
    if (!decorated && decoration_fits(decoration, os)) return i;
  }
  return count;
}

}  // namespace quillary::server
