#include "projector/figure_axes.hpp"

#include <array>
#include <cmath>
#include <cstdio>

namespace projector {
namespace {

constexpr double kTickLength = 5;
constexpr double kLabelSize = 12;
constexpr double kTitleSize = 13;

// The nice number near x: 1, 2, 5 or 10 times a power of ten (rounded, or
// the next one up).
double nice(double x, bool round) {
  const double e = std::floor(std::log10(x));
  const double f = x / std::pow(10.0, e);
  double n = 10;
  if (round)
    n = f < 1.5 ? 1 : f < 3 ? 2 : f < 7 ? 5 : 10;
  else
    n = f <= 1 ? 1 : f <= 2 ? 2 : f <= 5 ? 5 : 10;
  return n * std::pow(10.0, e);
}

std::string tick_label(double v, double step) {
  const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
  char b[32];
  std::snprintf(b, sizeof b, "%.*f", decimals, std::fabs(v) < step * 1e-9 ? 0.0 : v);
  return b;
}

}  // namespace

std::string_view series_colour(int k) {
  static constexpr std::array<std::string_view, 10> palette = {"#1f77b4", "#ff7f0e", "#2ca02c", "#9467bd", "#8c564b",
                                                               "#e377c2", "#17becf", "#bcbd22", "#7f7f7f", "#d62728"};
  return palette[static_cast<std::size_t>(k) % palette.size()];
}

Ticks nice_ticks(double lo, double hi, int target) {
  if (!std::isfinite(lo) || !std::isfinite(hi)) return {0, 1, 0.2};
  if (hi <= lo) {
    const double pad = lo == 0 ? 1 : std::fabs(lo) * 0.1;
    lo -= pad;
    hi += pad;
  }
  const double step = nice(nice(hi - lo, false) / target, true);
  return {std::floor(lo / step) * step, std::ceil(hi / step) * step, step};
}

Panel::Panel(io::SvgWriter& svg, io::Point corner, double width, double height, Ticks x, Ticks y)
    : svg_(svg), corner_(corner), width_(width), height_(height), x_(x), y_(y) {}

io::Point Panel::at(double x, double y) const {
  return {corner_.x + (x - x_.lo) / (x_.hi - x_.lo) * width_, corner_.y + (y_.hi - y) / (y_.hi - y_.lo) * height_};
}

void Panel::axes(std::string_view x_label, std::string_view y_label, std::string_view title) const {
  const io::Stroke grid{"#e5e5e5", 1}, tick{"#000000", 1};
  const double bottom = corner_.y + height_;
  for (int k = 0; x_.lo + k * x_.step <= x_.hi + x_.step * 1e-9; ++k) {
    const double v = x_.lo + k * x_.step;
    const double px = at(v, y_.lo).x;
    svg_.begin_group("xtick", tick_label(v, x_.step));
    svg_.line({px, corner_.y}, {px, bottom}, grid);
    svg_.line({px, bottom}, {px, bottom + kTickLength}, tick);
    svg_.text({px, bottom + kTickLength + kLabelSize}, tick_label(v, x_.step), kLabelSize, io::Anchor::middle);
    svg_.end_group();
  }
  for (int k = 0; y_.lo + k * y_.step <= y_.hi + y_.step * 1e-9; ++k) {
    const double v = y_.lo + k * y_.step;
    const double py = at(x_.lo, v).y;
    svg_.begin_group("ytick", tick_label(v, y_.step));
    svg_.line({corner_.x, py}, {corner_.x + width_, py}, grid);
    svg_.line({corner_.x - kTickLength, py}, {corner_.x, py}, tick);
    svg_.text({corner_.x - kTickLength - 2, py + kLabelSize / 3}, tick_label(v, y_.step), kLabelSize, io::Anchor::end);
    svg_.end_group();
  }
  svg_.rect(corner_, width_, height_, "none", {"#000000", 1});
  svg_.text({corner_.x + width_ / 2, bottom + kTickLength + 2 * kLabelSize + 4}, x_label, kLabelSize,
            io::Anchor::middle);
  svg_.text({corner_.x - 42, corner_.y + height_ / 2}, y_label, kLabelSize, io::Anchor::middle, -90);
  svg_.text({corner_.x + width_ / 2, corner_.y - 6}, title, kTitleSize, io::Anchor::middle);
}

void Panel::begin_clip() const { svg_.begin_clip(corner_, width_, height_); }

void Panel::legend(int row, const io::Stroke& stroke, std::string_view text) const {
  const double y = corner_.y + 14 + 16 * row, x = corner_.x + 8;
  // Long enough to show a whole period of the longest dash the figures use.
  svg_.begin_group("legend");
  svg_.line({x, y - 4}, {x + 30, y - 4}, stroke);
  svg_.text({x + 36, y}, text, kLabelSize - 1);
  svg_.end_group();
}

}  // namespace projector
