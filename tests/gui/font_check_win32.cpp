// Checks which fonts GDI gives the skin: creates "Arial" and "Verdana" as the
// skin creates them, reports the face GDI chose (GetTextFaceW, and the family
// named inside the font file actually used), checks Arial's advance widths,
// and checks that Chinese, Japanese and Arabic texts drawn with the skin's
// fonts have a glyph for every character, and that Arabic letters join.
//
//   font_check [--arial FAMILY] [--verdana FAMILY] [--cjk FACE] [--arabic FACE]
//
// --arial and --verdana name the family expected inside the font file (under
// Wine with scripts/wine-fonts: "Quillary Arial" and "DejaVu Sans"; on
// Windows: "Arial" and "Verdana"); --cjk and --arabic name fallback faces
// that must have every character of the samples. Prints one line per
// finding and exits 1 when any check fails.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

int failures = 0;

std::string utf8(const std::wstring& text);

void fail(const char* what, const std::wstring& detail) {
  ++failures;
  std::printf("FAIL %s: %s\n", what, utf8(detail).c_str());
}

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

// A font as the skin makes it: height from points at 96 dpi, anti-aliased.
HFONT make_font(const wchar_t* face, int points, int weight, int pixel_height = 0) {
  LOGFONTW font{};
  font.lfHeight = pixel_height ? -pixel_height : -MulDiv(points, 96, 72);
  font.lfWeight = weight;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfOutPrecision = OUT_OUTLINE_PRECIS;
  font.lfQuality = ANTIALIASED_QUALITY;
  font.lfPitchAndFamily = VARIABLE_PITCH;
  lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

uint16_t be16(const std::vector<uint8_t>& d, size_t at) {
  return at + 1 < d.size() ? static_cast<uint16_t>(d[at] << 8 | d[at + 1]) : 0;
}

// The family name (name id 1, else 16) in the 'name' table of the font file
// selected into dc: what is really drawn, whatever the face was called.
std::wstring family_in_file(HDC dc) {
  const DWORD tag = 'n' | 'a' << 8 | 'm' << 16 | 'e' << 24;
  const DWORD size = GetFontData(dc, tag, 0, nullptr, 0);
  if (size == GDI_ERROR || size < 6) return L"";
  std::vector<uint8_t> data(size);
  if (GetFontData(dc, tag, 0, data.data(), size) != size) return L"";
  const uint16_t count = be16(data, 2), strings = be16(data, 4);
  std::wstring best;
  for (uint16_t i = 0; i < count; ++i) {
    const size_t record = 6 + size_t{i} * 12;
    const uint16_t platform = be16(data, record), name_id = be16(data, record + 6);
    const uint16_t length = be16(data, record + 8), offset = be16(data, record + 10);
    if (name_id != 1 || platform != 3) continue;
    std::wstring name;
    for (size_t at = size_t{strings} + offset; at + 1 < size_t{strings} + offset + length; at += 2)
      name += static_cast<wchar_t>(be16(data, at));
    if (best.empty() || be16(data, record + 4) == 0x409) best = name;
  }
  return best;
}

struct selected {
  HDC dc;
  HGDIOBJ old;
  selected(HDC d, HFONT f) : dc(d), old(SelectObject(d, f)) {}
  ~selected() { SelectObject(dc, old); }
};

// Face, file family and metrics of one skin font.
void check_face(HDC dc, const wchar_t* face, int weight, const std::wstring& expected_family) {
  HFONT font = make_font(face, 8, weight);
  selected use(dc, font);
  wchar_t chosen[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, chosen);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const std::wstring family = family_in_file(dc);
  SIZE extent{};
  GetTextExtentPoint32W(dc, L"Quillary driver updates", 23, &extent);
  std::printf("%s %s 8pt: GetTextFaceW \"%s\", family in the font file \"%s\", height %ld, "
              "average width %ld, \"Quillary driver updates\" %ld px\n",
              utf8(face).c_str(), weight >= FW_BOLD ? "bold" : "regular", utf8(chosen).c_str(),
              utf8(family).c_str(),
              metrics.tmHeight, metrics.tmAveCharWidth, extent.cx);
  if (!expected_family.empty() && lstrcmpiW(family.c_str(), expected_family.c_str()) != 0)
    fail("font family", std::wstring(face) + L" is drawn with \"" + family + L"\", not \"" +
                            expected_family + L"\"");
  if (weight >= FW_BOLD && metrics.tmWeight < FW_BOLD)
    fail("bold weight", std::wstring(face) + L" bold came out with weight " +
                            std::to_wstring(metrics.tmWeight));
  DeleteObject(font);
}

// Line height, ascent and descent must be those of Liberation Sans, whose
// vertical metrics are Arial's, at the skin's sizes.
void check_arial_heights(HDC dc) {
  int mismatches = 0;
  for (int points : {8, 11, 15, 16, 18, 25}) {
    TEXTMETRICW arial{}, reference{};
    HFONT a = make_font(L"Arial", points, FW_NORMAL), r = make_font(L"Liberation Sans", points, FW_NORMAL);
    {
      selected use(dc, a);
      GetTextMetricsW(dc, &arial);
    }
    {
      selected use(dc, r);
      GetTextMetricsW(dc, &reference);
    }
    if (arial.tmHeight != reference.tmHeight || arial.tmAscent != reference.tmAscent) {
      ++mismatches;
      fail("Arial line height", std::to_wstring(points) + L"pt: " + std::to_wstring(arial.tmHeight) +
                                    L" px, Arial's is " + std::to_wstring(reference.tmHeight));
    }
    DeleteObject(a);
    DeleteObject(r);
  }
  std::printf("Arial line heights: %s\n", mismatches ? "differ" : "match Arial's");
}

// Arial's advance widths in font units (2,048 to the em). Liberation Sans
// has the same; a font at a height of 2,048 pixels gives them in pixels.
void check_arial_widths(HDC dc) {
  struct advance {
    wchar_t ch;
    int width;
  };
  const advance regular[] = {{L' ', 569}, {L'A', 1366}, {L'Q', 1593}, {L'W', 1933}, {L'a', 1139},
                             {L'i', 455}, {L'm', 1706}, {L'0', 1139}, {L'.', 569}};
  HFONT font = make_font(L"Arial", 0, FW_NORMAL, 2048);
  selected use(dc, font);
  int mismatches = 0;
  std::wstring detail;
  for (const auto& [ch, width] : regular) {
    ABC abc{};
    if (!GetCharABCWidthsW(dc, ch, ch, &abc)) continue;
    const int got = abc.abcA + static_cast<int>(abc.abcB) + abc.abcC;
    if (got < width - 1 || got > width + 1) {
      ++mismatches;
      detail += std::wstring(1, ch) + L" " + std::to_wstring(got) + L" (Arial " +
                std::to_wstring(width) + L") ";
    }
  }
  std::printf("Arial advance widths: %s\n", mismatches ? "differ" : "match Arial's");
  if (mismatches) fail("Arial metrics", detail);
  DeleteObject(font);
}

// Draws `text` in black at (margin, margin) on a white width x height
// bitmap and returns its pixels, row by row from the top.
std::vector<uint32_t> render_text(HDC dc, int width, int height, int margin, const std::wstring& text) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all{0, 0, width, height};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  TextOutW(dc, margin, margin, text.c_str(), static_cast<int>(text.size()));
  GdiFlush();
  std::vector<uint32_t> pixels(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + width * height);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  return pixels;
}

// Draws one character alone into a small bitmap and returns its pixels.
std::vector<uint32_t> ink_of(HDC dc, wchar_t ch) { return render_text(dc, 40, 40, 4, std::wstring(1, ch)); }

size_t ink_count(const std::vector<uint32_t>& pixels) {
  size_t count = 0;
  for (uint32_t p : pixels) count += (p & 0xFFFFFF) != 0xFFFFFF;
  return count;
}

// Every character of `text` drawn with the skin's `face` must show a glyph:
// some ink, and not the picture of a character no font has.
void check_rendering(HDC dc, const wchar_t* face, int weight, const wchar_t* script,
                     const std::wstring& text) {
  HFONT font = make_font(face, 12, weight);
  selected use(dc, font);
  const auto missing = ink_of(dc, 0x0378);  // unassigned: what a missing glyph looks like
  int bad = 0;
  std::wstring which;
  for (wchar_t ch : text) {
    if (ch == L' ') continue;
    const auto pixels = ink_of(dc, ch);
    if (ink_count(pixels) == 0 || pixels == missing) {
      ++bad;
      which += ch;
    }
  }
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  const char* style = weight >= FW_BOLD ? " bold" : "";
  std::printf("%ls%s 12pt, %ls \"%s\": %ld x %ld px, %s\n", face, style, script, utf8(text).c_str(),
              extent.cx, extent.cy, bad ? "characters without a glyph" : "every character drawn");
  if (bad) fail("missing glyphs", std::wstring(face) + (weight >= FW_BOLD ? L" bold, " : L", ") + script + L": " + which);
  DeleteObject(font);
}

// Left and right ends of the ink of `text` drawn at (8, 8) in a wide bitmap.
std::pair<int, int> ink_span(HDC dc, const std::wstring& text) {
  constexpr int width = 400, height = 60;
  const auto pixels = render_text(dc, width, height, 8, text);
  int left = width, right = -1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if ((pixels[y * width + x] & 0xFFFFFF) != 0xFFFFFF) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
  return {left, right};
}

// Arabic letters join: three behs in a row take far less room than three
// behs each on its own, unless the text is drawn unshaped.
void check_arabic_joining(HDC dc, const wchar_t* face, int weight) {
  HFONT font = make_font(face, 24, weight);
  selected use(dc, font);
  const auto [one_left, one_right] = ink_span(dc, L"\x0628");
  const auto [three_left, three_right] = ink_span(dc, L"\x0628\x0628\x0628");
  const int one = one_right - one_left + 1, three = three_right - three_left + 1;
  const bool joined = one > 0 && three > 0 && three * 10 < one * 3 * 8;
  std::printf("%s%s 24pt, Arabic joining: one beh %d px, three behs %d px: %s\n", utf8(face).c_str(),
              weight >= FW_BOLD ? " bold" : "", one, three, joined ? "joined" : "not joined");
  if (!joined) fail("Arabic shaping", std::wstring(face) + L" draws Arabic letters unjoined");
  DeleteObject(font);
}

// The fallback fonts themselves must have every character (no 0xFFFF index).
void check_indices(HDC dc, const wchar_t* face, const std::wstring& text) {
  HFONT font = make_font(face, 12, FW_NORMAL);
  selected use(dc, font);
  std::vector<WORD> indices(text.size());
  const DWORD done = GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()),
                                      indices.data(), GGI_MARK_NONEXISTING_GLYPHS);
  int absent = 0;
  for (WORD index : indices) absent += index == 0xFFFF;
  wchar_t chosen[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, chosen);
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  std::printf("%ls (face \"%ls\"): %d of %zu characters without a glyph index, width %ld px\n",
              face, chosen, absent, text.size(), extent.cx);
  if (done == GDI_ERROR || absent)
    fail("glyph indices", std::wstring(face) + L" lacks " + std::to_wstring(absent) + L" characters");
  if (lstrcmpiW(chosen, face) != 0) fail("fallback face", std::wstring(face) + L" is missing");
  DeleteObject(font);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring arial_family, verdana_family, cjk_face, arabic_face;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    std::wstring* value = arg == L"--arial"     ? &arial_family
                          : arg == L"--verdana" ? &verdana_family
                          : arg == L"--cjk"     ? &cjk_face
                          : arg == L"--arabic"  ? &arabic_face
                                                : nullptr;
    if (!value || i + 1 >= argc) {
      std::fprintf(stderr, "usage: font_check [--arial FAMILY] [--verdana FAMILY] [--cjk FACE] [--arabic FACE]\n");
      return 2;
    }
    *value = argv[++i];
  }

  HDC dc = CreateCompatibleDC(nullptr);
  check_face(dc, L"Arial", FW_NORMAL, arial_family);
  check_face(dc, L"Arial", FW_BOLD, arial_family);
  check_face(dc, L"Verdana", FW_NORMAL, verdana_family);
  check_face(dc, L"Verdana", FW_BOLD, verdana_family);
  check_face(dc, L"verdana", FW_NORMAL, verdana_family);
  check_arial_widths(dc);
  if (!arial_family.empty() && lstrcmpiW(arial_family.c_str(), L"Arial") != 0) check_arial_heights(dc);

  // Texts of the language file: simplified and traditional Chinese, Japanese, Arabic.
  const std::wstring chinese = L"\x626B\x63CF\x9A71\x52A8\x7A0B\x5E8F\x66F4\x65B0 \x9A45\x52D5\x7A0B\x5F0F\x8A2D\x5B9A";
  const std::wstring japanese = L"\x30C9\x30E9\x30A4\x30D0\x30FC\x3092\x30B9\x30AD\x30E3\x30F3";
  const std::wstring arabic = L"\x0627\x0628\x062F\x0623 \x0627\x0644\x0641\x062D\x0635";
  for (const wchar_t* face : {L"Arial", L"Verdana"}) {
    for (int weight : {FW_NORMAL, FW_BOLD}) {
      check_rendering(dc, face, weight, L"Chinese", chinese);
      check_rendering(dc, face, weight, L"Japanese", japanese);
      check_rendering(dc, face, weight, L"Arabic", arabic);
      check_arabic_joining(dc, face, weight);
    }
  }
  if (!cjk_face.empty()) check_indices(dc, cjk_face.c_str(), chinese + japanese);
  if (!arabic_face.empty()) check_indices(dc, arabic_face.c_str(), arabic);
  DeleteDC(dc);

  std::printf("%s\n", failures ? "font check failed" : "font check passed");
  return failures ? 1 : 0;
}
