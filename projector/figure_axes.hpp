// A panel of a figure: a rectangle of the drawing with data axes, round-number
// ticks (1, 2 or 5 times a power of ten, after Heckbert's "nice numbers"),
// tick labels and axis labels, and the map from data to pixels. Each tick is
// a group of class "xtick" or "ytick" whose data-value is the tick's value.
#pragma once

#include <string>
#include <string_view>

#include "io/svg_writer.hpp"

namespace projector {

struct Ticks {
  double lo;
  double hi;
  double step;
};

// Ticks spanning [lo, hi] with about `target` intervals.
Ticks nice_ticks(double lo, double hi, int target = 5);

// Colours of the figures: measured heights, curves, bands; a series palette.
inline constexpr std::string_view kPointColour = "#d62728";
inline constexpr std::string_view kCurveColour = "#1f4e9c";
inline constexpr std::string_view kBandColour = "#9ecae1";
std::string_view series_colour(int k);

class Panel {
 public:
  Panel(io::SvgWriter& svg, io::Point corner, double width, double height, Ticks x, Ticks y);

  io::Point at(double x, double y) const;
  // Frame, grid, ticks and their labels, axis labels and a title above.
  void axes(std::string_view x_label, std::string_view y_label, std::string_view title) const;
  // Drawing clipped to the frame until end_clip().
  void begin_clip() const;
  void end_clip() const { svg_.end_group(); }
  // A legend row inside the top left corner: a swatch drawn with the
  // stroke of the curve it names (colour, width and dash), and its text.
  void legend(int row, const io::Stroke& stroke, std::string_view text) const;

 private:
  io::SvgWriter& svg_;
  io::Point corner_;
  double width_, height_;
  Ticks x_, y_;
};

}  // namespace projector
