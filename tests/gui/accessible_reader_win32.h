// Reads a program's windows as a screen reader does, from another process,
// through Microsoft Active Accessibility: each window's client object
// (AccessibleObjectFromWindow, OBJID_CLIENT) and its simple elements
// (AccessibleChildren). The GUI test driver finds, reads and presses the
// skin's windowless controls through it, by name and role.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <string>
#include <vector>

namespace quillary::gui {

struct accessible_element {
  std::wstring window_class;
  long child = 0;  // 0: the window's own element
  std::wstring role;
  long state = 0;
  std::wstring name;
  std::wstring value;
  bool has_action = false;
  IAccessible* object = nullptr;  // held by the reading that found it
};

// The elements of a window and (unless only its own are asked for) of its
// visible descendants, in the system's order. The objects stay referenced
// until the reading ends.
class accessible_reading_c {
 public:
  explicit accessible_reading_c(HWND root, bool with_descendants = true);
  ~accessible_reading_c();
  accessible_reading_c(const accessible_reading_c&) = delete;
  accessible_reading_c& operator=(const accessible_reading_c&) = delete;

  const std::vector<accessible_element>& elements() const { return elements_; }
  // The first element with that name ("*": any) and role (unless empty),
  // with a default action when `with_action`.
  const accessible_element* named(const std::wstring& name, const std::wstring& role,
                                  bool with_action) const;
  const accessible_element* focused() const;

 private:
  std::vector<accessible_element> elements_;
  std::vector<IAccessible*> held_;
};

// One line, tab-separated: window class, child id, role, state (hex), name,
// value.
std::wstring describe(const accessible_element& e);
bool do_default_action(const accessible_element& e);
// The element's rectangle on the screen.
bool location(const accessible_element& e, RECT& screen);

}  // namespace quillary::gui
