// Checks the resources compiled into quillary.exe against the numbers and
// sizes the windows rely on: every bitmap (24-bit, its size; the larger
// scales' variants PNG resources, decoded as the program does), the icons with
// their sizes, the two menus with their command ids in order, and the three
// dialog templates with their controls. Also every picture the per-language
// table names for each of the eleven languages.
//
//   skin_resources [PATH\quillary.exe]   (default: quillary.exe beside it)
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "app/language.h"
#include "platform/text.h"
#include "ui/skin/skin_image_win32.h"

namespace {

int failures = 0;

void fail(const std::string& what) {
  ++failures;
  std::printf("FAIL %s\n", what.c_str());
}

struct bitmap_range {
  int first, last, width, height;
  const char* what;
};

// The sizes the windows place these pictures at.
const bitmap_range bitmaps[] = {
    {236, 241, 83, 67, "navigation buttons home, download"},
    {258, 260, 83, 67, "navigation button backup"},
    {264, 266, 83, 67, "navigation button restore"},
    {270, 272, 83, 67, "navigation button settings"},
    {273, 273, 5, 24, "header strip"},
    {274, 288, 30, 21, "caption buttons menu, minimise, maximise, restore, close"},
    {290, 292, 450, 120, "start button, English"},
    {300, 300, 520, 100, "banner, English"},
    {323, 325, 31, 21, "dialog close button"},
    {329, 331, 80, 22, "dialog buttons"},
    {332, 332, 3, 217, "settings divider"},
    {335, 335, 161, 50, "logo"},
    {340, 340, 64, 64, "about header picture"},
    {341, 341, 460, 2, "about band"},
    {348, 350, 130, 24, "about buttons"},
    {351, 354, 48, 48, "message box pictures"},
    {356, 358, 70, 24, "message box buttons"},
    {412, 412, 520, 100, "banner, Arabic"},
    {414, 415, 520, 100, "banners, Portuguese and Italian"},
    {416, 427, 450, 120, "start buttons, Arabic, Dutch, Portuguese, Italian"},
    {452, 455, 520, 100, "banners, German, French, Japanese, Spanish"},
    {456, 467, 450, 120, "start buttons, German, French, Japanese, Spanish"},
    {468, 470, 280, 56, "backup and restore action button"},
    {471, 472, 460, 22, "backup settings and information headings"},
    {475, 475, 460, 22, "restore settings heading"},
    {480, 480, 520, 2, "home page foot rule"},
    {481, 481, 24, 24, "home page foot picture"},
    {482, 482, 56, 56, "scan page header picture"},
    {483, 483, 120, 56, "scan page header art"},
    {484, 484, 242, 56, "side bar heading"},
    {485, 487, 90, 24, "download panel action button"},
    {488, 490, 106, 27, "download all button"},
    {491, 493, 16, 16, "download panel status marks"},
};

struct loaded_bitmap {
  int width = 0, height = 0, bits = 0;
  std::vector<unsigned char> pixels;
};

loaded_bitmap read_bitmap(HBITMAP bitmap) {
  loaded_bitmap result;
  if (!bitmap) return result;
  DIBSECTION dib{};
  if (GetObjectW(bitmap, sizeof(dib), &dib) == sizeof(dib) && dib.dsBm.bmBits) {
    result.width = dib.dsBm.bmWidth;
    result.height = dib.dsBm.bmHeight;
    result.bits = dib.dsBmih.biBitCount;
    const auto* bytes = static_cast<const unsigned char*>(dib.dsBm.bmBits);
    result.pixels.assign(bytes, bytes + static_cast<size_t>(dib.dsBm.bmWidthBytes) * result.height);
  }
  DeleteObject(bitmap);
  return result;
}

// A BITMAP resource, as the 100 % pictures are.
loaded_bitmap load_bitmap(HMODULE module, int id) {
  return read_bitmap(static_cast<HBITMAP>(
      LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

// A picture as the program loads it: a BITMAP resource or a decoded PNG one.
loaded_bitmap load_skin_picture(HMODULE module, int id) {
  return read_bitmap(quillary::load_skin_bitmap(module, id));
}

// A bitmap's rows from the top, without the padding: a DIB may be stored
// either way up.
std::vector<unsigned char> rows_from_top(const loaded_bitmap& b) {
  std::vector<unsigned char> out;
  const int height = b.height < 0 ? -b.height : b.height;
  if (height == 0) return out;
  const size_t stride = b.pixels.size() / height, row = static_cast<size_t>(b.width) * (b.bits / 8);
  for (int y = 0; y < height; ++y) {
    const size_t at = (b.height < 0 ? y : height - 1 - y) * stride;
    out.insert(out.end(), b.pixels.begin() + at, b.pixels.begin() + at + row);
  }
  return out;
}

BOOL CALLBACK collect_name(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR out) {
  if (IS_INTRESOURCE(name))
    reinterpret_cast<std::set<int>*>(out)->insert(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
  return TRUE;
}

void check_bitmaps(HMODULE module) {
  std::set<int> expected, expected_png;
  int count = 0;
  for (const auto& range : bitmaps) {
    for (int id = range.first; id <= range.last; ++id) {
      expected.insert(id);
      const auto bitmap = load_bitmap(module, id);
      const std::string name = "bitmap " + std::to_string(id) + " (" + range.what + ")";
      if (bitmap.width == 0) {
        fail(name + " is missing");
        continue;
      }
      ++count;
      if (bitmap.width != range.width || bitmap.height != range.height)
        fail(name + " is " + std::to_string(bitmap.width) + " x " + std::to_string(bitmap.height) +
             ", not " + std::to_string(range.width) + " x " + std::to_string(range.height));
      if (bitmap.bits != 24) fail(name + " has " + std::to_string(bitmap.bits) + " bits per pixel, not 24");
      // The program loads the 100 % picture through the same function.
      if (rows_from_top(load_skin_picture(module, id)) != rows_from_top(bitmap))
        fail(name + " loads as other pixels through load_skin_bitmap");
      // Its variants for larger DPIs: number N + 1000 k at the k-th larger
      // scale, a PNG resource (not a BITMAP one), the size scaled as MulDiv
      // rounds it, decoded to 24 bits.
      const int larger_scales[] = {125, 150, 200};
      for (int k = 1; k <= 3; ++k) {
        const int scale = larger_scales[k - 1], variant_id = id + 1000 * k;
        expected_png.insert(variant_id);
        if (!FindResourceW(module, MAKEINTRESOURCEW(variant_id), L"PNG"))
          fail(name + " at " + std::to_string(scale) + " % (" + std::to_string(variant_id) +
               ") is not a PNG resource");
        const auto variant = load_skin_picture(module, variant_id);
        const int width = MulDiv(range.width, scale, 100), height = MulDiv(range.height, scale, 100);
        const int variant_height = variant.height < 0 ? -variant.height : variant.height;
        if (variant.width != width || variant_height != height || variant.bits != 24)
          fail(name + " at " + std::to_string(scale) + " % (" + std::to_string(variant_id) + ") is " +
               std::to_string(variant.width) + " x " + std::to_string(variant_height) + " x " +
               std::to_string(variant.bits) + ", not " + std::to_string(width) + " x " +
               std::to_string(height) + " x 24");
      }
    }
    // The three states of a button must look different from each other.
    if ((range.last - range.first + 1) % 3 == 0) {
      for (int id = range.first; id + 2 <= range.last; id += 3) {
        const auto a = load_bitmap(module, id), b = load_bitmap(module, id + 1), c = load_bitmap(module, id + 2);
        if (a.pixels.empty() || a.pixels == b.pixels || b.pixels == c.pixels || a.pixels == c.pixels)
          fail("bitmaps " + std::to_string(id) + " to " + std::to_string(id + 2) +
               " (" + range.what + "): the three states are not all different");
      }
    }
  }
  std::set<int> present, present_png;
  EnumResourceNamesW(module, RT_BITMAP, collect_name, reinterpret_cast<LONG_PTR>(&present));
  for (int id : present)
    if (!expected.count(id)) fail("bitmap " + std::to_string(id) + " is in the program but no window uses it");
  EnumResourceNamesW(module, L"PNG", collect_name, reinterpret_cast<LONG_PTR>(&present_png));
  for (int id : present_png)
    if (!expected_png.count(id)) fail("PNG picture " + std::to_string(id) + " is in the program but no window uses it");
  std::printf("%d bitmaps with their sizes\n", count);
}

// A PNG resource that is cut short or damaged gives no picture (the 100 %
// one is then stretched), a missing one none either. The damaged ones are
// written into a copy of this test program beside a good one, which must
// load, so that a copy the loader cannot read would not pass unseen.
void check_damaged_pictures(HMODULE module) {
  const int good_id = 1335;  // the logo at 125 %
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(good_id), L"PNG");
  if (!found) {
    fail("no PNG picture " + std::to_string(good_id) + " to damage");
    return;
  }
  const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  const std::vector<BYTE> good(data, data + SizeofResource(module, found));
  std::vector<BYTE> cut(good.begin(), good.begin() + good.size() / 2);
  std::vector<BYTE> garbled = good;
  for (size_t i = 40; i < garbled.size() - 12; i += 7) garbled[i] ^= 0x5A;  // past the header
  std::vector<BYTE> no_signature = good;
  no_signature[1] = 'X';

  wchar_t self[MAX_PATH], folder[MAX_PATH], copy[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, L"skn", 0, copy);
  if (!CopyFileW(self, copy, FALSE)) {
    fail("cannot copy the test program to damage its pictures, error " + std::to_string(GetLastError()));
    return;
  }
  HANDLE update = BeginUpdateResourceW(copy, FALSE);
  bool written = update != nullptr;
  auto add = [&](int id, std::vector<BYTE>& bytes) {
    written = written && UpdateResourceW(update, L"PNG", MAKEINTRESOURCEW(id), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                                         bytes.data(), static_cast<DWORD>(bytes.size()));
  };
  std::vector<BYTE> good_copy = good;
  add(1, good_copy);
  add(2, cut);
  add(3, garbled);
  add(4, no_signature);
  if (update && !EndUpdateResourceW(update, !written)) written = false;
  HMODULE damaged = written ? LoadLibraryExW(copy, nullptr, LOAD_LIBRARY_AS_DATAFILE) : nullptr;
  if (!damaged) {
    fail("cannot write the damaged pictures into a copy of the test program");
    DeleteFileW(copy);
    return;
  }
  const auto loaded = load_skin_picture(damaged, 1);
  if (loaded.width != MulDiv(161, 125, 100) || loaded.bits != 24)
    fail("the good PNG picture copied beside the damaged ones does not load");
  const struct {
    int id;
    const char* what;
  } bad[] = {{2, "cut short"}, {3, "with garbled data"}, {4, "without its signature"}, {5, "missing"}};
  for (const auto& b : bad) {
    HBITMAP bitmap = quillary::load_skin_bitmap(damaged, b.id);
    if (bitmap) {
      fail(std::string("a PNG picture ") + b.what + " gives a bitmap");
      DeleteObject(bitmap);
    }
  }
  FreeLibrary(damaged);
  DeleteFileW(copy);
  std::printf("damaged and missing PNG pictures give none\n");
}

void check_language_pictures(HMODULE module) {
  const char16_t* languages[] = {u"English", u"Deutsch", u"Español", u"Français", u"Italiano",
                                 u"日本語", u"简体中文", u"繁體中文", u"Nederlands", u"Português",
                                 u"العربية"};
  for (const auto* language : languages) {
    const auto& row = quillary::language_row_for(language);
    const std::string name = quillary::utf16_to_utf8(language);
    const auto banner = load_bitmap(module, row.banner_bitmap);
    if (banner.width != 520 || banner.height != 100) fail(name + ": no 520 x 100 banner " + std::to_string(row.banner_bitmap));
    for (int id : row.start_button_bitmaps) {
      const auto button = load_bitmap(module, id);
      if (button.width != 450 || button.height != 120) fail(name + ": no 450 x 120 start button " + std::to_string(id));
    }
  }
  std::printf("banner and start buttons for each of the %zu languages\n", std::size(languages));
}

#pragma pack(push, 2)
struct group_icon_entry {
  BYTE width, height, colours, reserved;
  WORD planes, bit_count;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

void check_icon(HMODULE module, int id) {
  const std::string name = "icon " + std::to_string(id);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_GROUP_ICON);
  if (!found) {
    fail(name + " is missing");
    return;
  }
  const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  const WORD count = *reinterpret_cast<const WORD*>(data + 4);
  const auto* entries = reinterpret_cast<const group_icon_entry*>(data + 6);
  std::set<int> sizes;
  for (WORD i = 0; i < count; ++i) {
    sizes.insert(entries[i].width ? entries[i].width : 256);
    if (entries[i].bit_count != 32) fail(name + ": an image without alpha");
  }
  for (int size : {16, 20, 24, 32, 48, 256})
    if (!sizes.count(size)) fail(name + " has no " + std::to_string(size) + " x " + std::to_string(size) + " image");
  for (int size : {16, 32}) {
    HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
    ICONINFO info{};
    BITMAP colour{};
    if (!icon || !GetIconInfo(icon, &info) || !GetObjectW(info.hbmColor, sizeof(colour), &colour) ||
        colour.bmWidth != size)
      fail(name + " cannot be loaded at " + std::to_string(size) + " pixels");
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (icon) DestroyIcon(icon);
  }
  std::printf("%s: %zu sizes\n", name.c_str(), sizes.size());
}

void check_menu(HMODULE module, int id, const std::vector<UINT>& items) {
  const std::string name = "menu " + std::to_string(id);
  HMENU menu = LoadMenuW(module, MAKEINTRESOURCEW(id));
  HMENU popup = menu ? GetSubMenu(menu, 0) : nullptr;
  if (!popup) {
    fail(name + " is missing or has no pop-up");
    if (menu) DestroyMenu(menu);
    return;
  }
  std::vector<UINT> got;
  for (int i = 0; i < GetMenuItemCount(popup); ++i) got.push_back(GetMenuItemID(popup, i));
  if (got != items) {
    std::string text;
    for (UINT item : got) text += " " + std::to_string(item);
    fail(name + " has the items" + text);
  }
  DestroyMenu(menu);
  std::printf("%s: %zu items in order\n", name.c_str(), got.size());
}

INT_PTR CALLBACK quiet_dialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

struct control {
  int id;
  const wchar_t* window_class;
  DWORD style_mask, style;  // (style & mask) must equal style
  int max_width = 0;        // in pixels, for controls that keep the template's size
};

void check_dialog(HMODULE module, int id, const wchar_t* caption, const std::vector<control>& controls) {
  const std::string name = "dialog " + std::to_string(id);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG);
  if (!found) {
    fail(name + " is missing");
    return;
  }
  auto* templ = static_cast<DLGTEMPLATE*>(LockResource(LoadResource(module, found)));
  HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), templ, nullptr, quiet_dialog, 0);
  if (!dialog) {
    fail(name + " cannot be created, error " + std::to_string(GetLastError()));
    return;
  }
  wchar_t text[64] = {};
  GetWindowTextW(dialog, text, 64);
  if (lstrcmpW(text, caption) != 0) fail(name + " has another caption");
  const LONG style = GetWindowLongW(dialog, GWL_STYLE);
  if (!(style & WS_CAPTION) || (style & WS_SYSMENU)) fail(name + ": the skin needs a caption and no system menu");
  for (const auto& c : controls) {
    HWND item = GetDlgItem(dialog, c.id);
    wchar_t window_class[64] = {};
    if (item) GetClassNameW(item, window_class, 64);
    if (!item || lstrcmpiW(window_class, c.window_class) != 0) {
      fail(name + ": no " + quillary::utf16_to_utf8(reinterpret_cast<const char16_t*>(c.window_class)) +
           " control " + std::to_string(c.id));
      continue;
    }
    if ((static_cast<DWORD>(GetWindowLongW(item, GWL_STYLE)) & c.style_mask) != c.style)
      fail(name + ": control " + std::to_string(c.id) + " has another style");
    RECT box{};
    GetWindowRect(item, &box);
    if (c.max_width && box.right - box.left > c.max_width)
      fail(name + ": control " + std::to_string(c.id) + " is " + std::to_string(box.right - box.left) +
           " pixels wide, more than the " + std::to_string(c.max_width) + " it has");
  }
  DestroyWindow(dialog);
  std::printf("%s: %zu controls\n", name.c_str(), controls.size());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring path;
  if (argc > 1) {
    path = argv[1];
  } else {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    path = self;
    path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"quillary.exe";
  }
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) {
    std::printf("FAIL cannot open %ls\n", path.c_str());
    return 1;
  }

  check_bitmaps(module);
  check_damaged_pictures(module);
  check_language_pictures(module);
  check_icon(module, 128);
  check_icon(module, 373);
  check_menu(module, 333, {32775, 0, 32779, 32780, 0, 32781});
  check_menu(module, 336, {32792, 32791, 32793, 32794, 32795, 0, 32789, 0, 32790});

  const DWORD type = BS_TYPEMASK;
  check_dialog(module, 313, L"Settings",
               {{1000, L"Edit", WS_BORDER, 0},
                {1001, L"Edit", WS_BORDER, 0},
                {1002, L"Button", type, BS_PUSHBUTTON},
                {1003, L"Button", type, BS_PUSHBUTTON},
                // The left column's boxes (at x 95) keep the template's size for
                // French, Spanish and Portuguese and must end before the divider
                // at x 320; the right column's (at x 340) before the edge at 640.
                {1004, L"Button", type, BS_AUTOCHECKBOX, 320 - 95},
                {1005, L"Button", type, BS_AUTO3STATE, 320 - 95},
                {1006, L"Button", type, BS_AUTOCHECKBOX, 640 - 340 - 10},
                {1007, L"ComboBox", CBS_DROPDOWNLIST, CBS_DROPDOWNLIST, 640 - 95 - 10},
                {1008, L"Button", type, BS_AUTOCHECKBOX, 640 - 340 - 10},
                {IDOK, L"Button", type, BS_DEFPUSHBUTTON},
                {IDCANCEL, L"Button", type, BS_PUSHBUTTON}});
  check_dialog(module, 339, L"About",
               {{IDOK, L"Button", type, BS_PUSHBUTTON}, {IDCANCEL, L"Button", type, BS_PUSHBUTTON}});
  check_dialog(module, 338, L"Device details", {{IDOK, L"Button", type, BS_DEFPUSHBUTTON}});
  FreeLibrary(module);

  std::printf("%s\n", failures ? "resource check failed" : "resource check passed");
  return failures ? 1 : 0;
}
