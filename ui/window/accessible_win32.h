// The accessible object of a window of ours: a COM object implementing
// IAccessible over the window's accessible_view (accessible_model.h), which
// the window base hands to clients from WM_GETOBJECT. Its parts are simple
// elements (VT_I4 child ids); the window's other child windows follow them
// as children of their own. A client may hold the object after the window
// has gone: the window disconnects it as it ends, and from then on every
// call answers CO_E_OBJNOTCONNECTED without touching the window.
#pragma once

#include <windows.h>

#include "ui/window/accessible_model.h"

namespace quillary {

class window_c;
class accessible_object_c;

// The interface's identifier, written out: in a static mingw-w64 link the
// IID_IAccessible symbol of the import library does not read as this GUID.
extern const GUID accessible_interface_id;  // {618736E0-3C3D-11CF-810C-00AA00389B71}

// A new object over `owner`'s window `window`, holding one reference.
accessible_object_c* make_accessible_object(HWND window, window_c& owner);
// The answer to WM_GETOBJECT for the object (LresultFromObject).
LRESULT answer_accessible_object(accessible_object_c* object, WPARAM wparam);
// The window ends: the object forgets it and its reference is given up.
void disconnect_accessible_object(accessible_object_c* object);

// The message by which a default action reaches the window's thread after
// accDoDefaultAction has returned (WPARAM: the part's id, LPARAM: 1 for the
// window's own element). accDoDefaultAction must not wait for what the
// action shows (a message box runs a loop of its own).
UINT accessible_action_message();

// A check box or radio button of the system's class inside `owner`, as the
// owner's part `id` standing for it (the system's own object of such a
// control names nothing under Wine): its rectangle in the owner's client
// area, checked, focused and unavailable as the control is, and the default
// action a click on it has.
accessible_item accessible_check_box(HWND owner, HWND box, int id, accessible_role role,
                                     const std::u16string& name);

// A rectangle of the view in screen coordinates.
RECT accessible_screen_rect(HWND window, const accessible_item& item);

}  // namespace quillary
