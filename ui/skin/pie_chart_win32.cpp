#include "ui/skin/pie_chart_win32.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out, and
// min and max as the Windows headers would have defined them.
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <objidl.h>
#include <gdiplus.h>

#include "platform/win32.h"
#include "ui/skin/palette.h"
#include "ui/window/display_scale_win32.h"
#include "ui/skin/plain_marks.h"

namespace quillary {
namespace {

constexpr float pi = 3.14159265358979f;

Gdiplus::Color with_alpha(uint32_t argb, int alpha) {
  return Gdiplus::Color(static_cast<BYTE>(alpha), static_cast<BYTE>((argb >> 16) & 0xFF),
                        static_cast<BYTE>((argb >> 8) & 0xFF), static_cast<BYTE>(argb & 0xFF));
}

// The ellipse of the pie's top face and everything needed to place a point
// on its rim, for one slice (moved by its explode offset).
struct pie_geometry {
  float left, top, width, height, wall;
  float centre_x() const { return left + width / 2; }
  float centre_y() const { return top + height / 2; }
  Gdiplus::PointF rim(float degrees, float drop = 0) const {
    const float a = degrees * pi / 180;
    return {centre_x() + width / 2 * std::cos(a), centre_y() + height / 2 * std::sin(a) + drop};
  }
  Gdiplus::RectF top_face() const { return {left, top, width, height}; }
  Gdiplus::RectF bottom_face() const { return {left, top + wall, width, height}; }
};

// The parts of the arc [start, start + sweep] that lie on the front half
// (0 to 180 degrees, modulo 360): those show their outer wall.
std::vector<std::pair<float, float>> front_parts(float start, float sweep) {
  std::vector<std::pair<float, float>> parts;
  const float end = start + sweep;
  for (float k : {0.0f, 360.0f}) {
    const float a = std::max(start, k), b = std::min(end, k + 180.0f);
    if (b > a) parts.emplace_back(a, b);
  }
  return parts;
}

Gdiplus::Color opaque(uint32_t colorref) {
  return Gdiplus::Color(255, static_cast<BYTE>(colorref & 0xFF), static_cast<BYTE>((colorref >> 8) & 0xFF),
                        static_cast<BYTE>((colorref >> 16) & 0xFF));
}

Gdiplus::HatchStyle hatch_style(chart_hatch hatch) {
  switch (hatch) {
    case chart_hatch::diagonal_cross: return Gdiplus::HatchStyleDiagonalCross;
    case chart_hatch::horizontal: return Gdiplus::HatchStyleHorizontal;
    case chart_hatch::forward_diagonal: return Gdiplus::HatchStyleWideUpwardDiagonal;
    case chart_hatch::vertical: return Gdiplus::HatchStyleVertical;
    case chart_hatch::cross: return Gdiplus::HatchStyleCross;
    case chart_hatch::backward_diagonal:
    default: return Gdiplus::HatchStyleWideDownwardDiagonal;
  }
}

// In high contrast: the slice flat, in its hatch of the window's text on
// the window's ground, outlined, so that slices differ without colour.
void draw_plain_slice(Gdiplus::Graphics& g, size_t index, const slice_arc& arc, const pie_geometry& pie) {
  Gdiplus::HatchBrush hatch(hatch_style(chart_hatch_for(index)), opaque(colour_of(colour_role::chart_out_of_date)),
                            opaque(colour_of(colour_role::page_ground)));
  Gdiplus::Pen outline(opaque(colour_of(colour_role::plain_text)), 1.5f);
  if (arc.sweep >= 359.99f) {
    g.FillEllipse(&hatch, pie.top_face());
    g.DrawEllipse(&outline, pie.top_face());
  } else {
    g.FillPie(&hatch, pie.top_face(), arc.start, arc.sweep);
    g.DrawPie(&outline, pie.top_face(), arc.start, arc.sweep);
  }
}

void draw_slice(Gdiplus::Graphics& g, const pie_slice& slice, const slice_arc& arc,
                const pie_geometry& pie, const Gdiplus::RectF& bounds) {
  Gdiplus::LinearGradientBrush walls(bounds, with_alpha(slice.light_colour, slice.alpha),
                                     with_alpha(slice.dark_colour, slice.alpha),
                                     Gdiplus::LinearGradientModeHorizontal);
  if (pie.wall > 0.5f) {
    // The cut faces first; those that face away are covered by the rest.
    for (float angle : {arc.start, arc.start + arc.sweep}) {
      const Gdiplus::PointF top_centre(pie.centre_x(), pie.centre_y());
      const Gdiplus::PointF face[4] = {top_centre, pie.rim(angle), pie.rim(angle, pie.wall),
                                       {top_centre.X, top_centre.Y + pie.wall}};
      g.FillPolygon(&walls, face, 4);
    }
    for (const auto& [a, b] : front_parts(arc.start, arc.sweep)) {
      Gdiplus::GraphicsPath wall;
      wall.AddArc(pie.top_face(), a, b - a);
      wall.AddLine(pie.rim(b), pie.rim(b, pie.wall));
      wall.AddArc(pie.bottom_face(), b, a - b);
      wall.CloseFigure();
      g.FillPath(&walls, &wall);
    }
  }
  Gdiplus::SolidBrush top(with_alpha(slice.colour, slice.alpha));
  if (arc.sweep >= 359.99f) {
    g.FillEllipse(&top, pie.top_face());
  } else {
    g.FillPie(&top, pie.top_face(), arc.start, arc.sweep);
  }
}

}  // namespace

CPieChart::~CPieChart() {
  if (gdiplus_token_) Gdiplus::GdiplusShutdown(gdiplus_token_);
}

HWND CPieChart::create(HWND parent, const std::u16string& name, const RECT& rect, UINT id) {
  window_class_info class_info;
  class_info.name = L"PieChart";
  class_info.style = CS_HREDRAW | CS_VREDRAW;
  return window_c::create(class_info, parent, name, WS_CHILD | WS_VISIBLE, 0, rect, id);
}

pie_box CPieChart::client_box() const {
  RECT client = logical_client();
  return {client.left, client.top, client.right, client.bottom};
}

pie_box CPieChart::pie_rect() const { return model_.pie_rect(client_box()); }

void CPieChart::repaint() {
  if (handle()) InvalidateRect(handle(), nullptr, FALSE);
}

pie_slice* CPieChart::add_slice(const std::u16string& name, const std::u16string& label,
                                double value, uint32_t argb) {
  pie_slice* slice = model_.add_slice(name, label, value, argb);
  if (!slice) return nullptr;
  lay_out_list();
  repaint();
  return slice;
}

void CPieChart::clear_slices() {
  model_.clear();
  lay_out_list();
  scroll_position_ = 0;
  if (scroll_bar_) SetScrollPos(scroll_bar_, SB_CTL, 0, TRUE);
  repaint();
}

void CPieChart::set_tilt(float degrees) {
  model_.set_tilt(degrees);
  repaint();
}

void CPieChart::set_thickness(float value) {
  model_.set_thickness(value, pie_rect().height());
  repaint();
}

void CPieChart::set_labels(bool on) {
  model_.labels = on;
  repaint();
}

void CPieChart::set_background(uint32_t argb) {
  model_.background = argb;
  repaint();
}

void CPieChart::set_pie_rect(const RECT& rect) {
  model_.set_pie_rect({rect.left, rect.top, rect.right, rect.bottom});
  repaint();
}

void CPieChart::set_explode(pie_slice* slice, int percent) {
  if (!slice) return;
  pie_chart_model::set_explode(*slice, percent, pie_rect().width());
  repaint();
}

void CPieChart::on_create() {
  SetWindowLongPtrW(handle(), GWL_STYLE, GetWindowLongPtrW(handle(), GWL_STYLE) | WS_CLIPCHILDREN);
  Gdiplus::GdiplusStartupInput input;
  if (!gdiplus_token_) Gdiplus::GdiplusStartup(&gdiplus_token_, &input, nullptr);
  RECT client = logical_client();
  scroll_bar_ = CreateWindowExW(0, L"SCROLLBAR", nullptr, WS_CHILD | SBS_VERT, 0, 0, 0, 0, handle(), nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  place_child(scroll_bar_, RECT{client.right - 40, client.top + 10, client.right - 20, client.bottom - 10});
}

bool CPieChart::on_size(UINT, int, int) {
  model_.resize(client_box());
  const RECT client{client_box().left, client_box().top, client_box().right, client_box().bottom};
  const pie_box pie = pie_rect();
  if (scroll_bar_) {
    const int left = client.right - model_.scroll_margin;
    place_child(scroll_bar_, RECT{left, pie.top, left + 20, pie.top + pie.height()});
  }
  lay_out_list();
  return true;
}

void CPieChart::lay_out_list() {
  if (!scroll_bar_) return;
  const int total = model_.list_height();
  const int page = pie_rect().height();
  SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE, 0, total, static_cast<UINT>(std::max(page, 0)),
                  0, 0};
  SetScrollInfo(scroll_bar_, SB_CTL, &info, TRUE);
  ShowWindow(scroll_bar_, total > page ? SW_SHOW : SW_HIDE);
}

void CPieChart::on_scroll(int code) {
  const int row = model_.row_height + model_.spacing;
  const int page = pie_rect().height();
  int position = scroll_position_;
  switch (code) {
    case SB_LINEUP: position -= row; break;
    case SB_LINEDOWN: position += row; break;
    case SB_PAGEUP: position -= page; break;
    case SB_PAGEDOWN: position += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO info{};
      info.cbSize = sizeof info;
      info.fMask = SIF_TRACKPOS;
      GetScrollInfo(scroll_bar_, SB_CTL, &info);
      position = info.nTrackPos;
      break;
    }
    default: return;
  }
  repaint();
  // The bar keeps the position within its range; take it back from there.
  SetScrollPos(scroll_bar_, SB_CTL, position, TRUE);
  scroll_position_ = GetScrollPos(scroll_bar_, SB_CTL);
}

bool CPieChart::handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT&) {
  switch (message) {
    case WM_CREATE:
      on_create();
      return false;
    case WM_VSCROLL:
      if (reinterpret_cast<HWND>(lparam) != scroll_bar_ || !scroll_bar_) return false;
      on_scroll(LOWORD(wparam));
      return true;
    case WM_PRINTCLIENT:
      render(reinterpret_cast<HDC>(wparam));
      return true;
    case WM_DESTROY:
      if (gdiplus_token_) Gdiplus::GdiplusShutdown(gdiplus_token_);
      gdiplus_token_ = 0;
      return false;
    default:
      return false;
  }
}

void CPieChart::render(HDC dc) {
  if (!gdiplus_token_) return;
  const pie_box client = client_box();
  if (client.width() <= 0 || client.height() <= 0) return;
  // Drawn in the display's pixels, from the model's logical ones.
  const display_scale at = scale();
  Gdiplus::Bitmap canvas(at.device(client.width()), at.device(client.height()), PixelFormat32bppARGB);
  {
    Gdiplus::Graphics g(&canvas);
    g.ScaleTransform(static_cast<float>(at.factor()), static_cast<float>(at.factor()));
    g.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    // The chart stands on its owner's background (white unless the owner
    // says otherwise), so that it blends into the page around it.
    g.Clear(Gdiplus::Color(static_cast<Gdiplus::ARGB>(model_.background | 0xFF000000u)));

    const pie_box box = pie_rect();
    const auto& slices = model_.slices();
    if (!slices.empty() && !box.empty()) {
      const float squash = model_.squash();
      const float wall = model_.wall_height(box.height());
      const float face_height = std::max(1.0f, box.height() * squash);
      // The tilted pie (top face and wall) centred in the pie rectangle.
      const float face_top = box.top + (box.height() - (face_height + wall)) / 2;
      const auto arcs = model_.arcs();
      const Gdiplus::RectF bounds(static_cast<float>(box.left), face_top,
                                  static_cast<float>(box.width()), face_height + wall);
      for (int index : model_.drawing_order()) {
        const pie_slice& slice = *slices[static_cast<size_t>(index)];
        const slice_arc& arc = arcs[static_cast<size_t>(index)];
        const float middle = arc.middle() * pi / 180;
        const float dx = slice.explode * std::cos(middle);
        const float dy = slice.explode * std::sin(middle) * squash;
        const pie_geometry pie{box.left + dx, face_top + dy, static_cast<float>(box.width()),
                               face_height, wall};
        if (plain_skin()) {
          draw_plain_slice(g, static_cast<size_t>(index), arc, pie);
        } else {
          draw_slice(g, slice, arc, pie, bounds);
        }
      }
      if (model_.labels) {
        // Verdana where the system has it, else its sans-serif face.
        Gdiplus::FontFamily verdana(L"Verdana");
        const Gdiplus::FontFamily* family =
            verdana.IsAvailable() ? &verdana : Gdiplus::FontFamily::GenericSansSerif();
        Gdiplus::Font font(family, 8, Gdiplus::FontStyleRegular, Gdiplus::UnitPoint);
        Gdiplus::SolidBrush ink(plain_skin() ? opaque(colour_of(colour_role::plain_text))
                                             : Gdiplus::Color(255, 0, 0, 0));
        Gdiplus::StringFormat centred;
        centred.SetAlignment(Gdiplus::StringAlignmentCenter);
        centred.SetLineAlignment(Gdiplus::StringAlignmentCenter);
        for (size_t i = 0; i < slices.size(); ++i) {
          wchar_t text[32];
          std::swprintf(text, 32, L"%.2f%%", slices[i]->fraction * 100.0);
          const float middle = arcs[i].middle() * pi / 180;
          const float x = box.left + box.width() / 2.0f +
                          (box.width() / 2.0f * 0.6f + slices[i]->explode) * std::cos(middle);
          const float y = face_top + face_height / 2 +
                          (face_height / 2 * 0.6f + slices[i]->explode * squash) * std::sin(middle);
          g.DrawString(text, -1, &font, Gdiplus::PointF(x, y), &centred, &ink);
        }
      }
    }
  }
  // The canvas has the device's pixels already: copied as it is, whatever
  // the context scales.
  const display_scale drawing = drawing_scale(dc);
  draw_in_device_pixels(dc);
  {
    Gdiplus::Graphics screen(dc);
    Gdiplus::CachedBitmap cached(&canvas, &screen);
    screen.DrawCachedBitmap(&cached, 0, 0);
  }
  draw_in_logical_pixels(dc, drawing);
}

}  // namespace quillary
