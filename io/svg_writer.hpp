// SVG output: a self-contained drawing (no scripts, no external fonts or
// files) that any browser or rsvg-convert shows. Coordinates are pixels from
// the top left, written with two decimals. The file is written beside its
// final name and put in place by commit().
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "io/text_writer.hpp"

namespace io {

struct Point {
  double x;
  double y;
};

struct Stroke {
  std::string_view colour = "#000000";
  double width = 1.0;
  std::string_view dash = "";  // e.g. "4 3"; empty: solid
};

enum class Anchor { start, middle, end };

class SvgWriter {
 public:
  SvgWriter(const std::string& path, std::string role, double width, double height);

  void line(Point from, Point to, const Stroke& stroke);
  void polyline(std::span<const Point> points, const Stroke& stroke);
  void polygon(std::span<const Point> points, std::string_view fill, double opacity);
  void rect(Point corner, double width, double height, std::string_view fill, const Stroke& stroke);
  void circle(Point centre, double radius, std::string_view fill);
  // Text with its baseline at `at`; rotated by `degrees` about `at`.
  void text(Point at, std::string_view text, double size, Anchor anchor = Anchor::start, double degrees = 0);
  // A group whose drawing is clipped to a rectangle; `data` becomes its
  // data-value attribute when not empty (for readers of the drawing).
  void begin_clip(Point corner, double width, double height);
  void begin_group(std::string_view css_class, std::string_view data = "");
  void end_group();
  void commit();

 private:
  void points(std::span<const Point> points);

  TextWriter out_;
  std::string buffer_;
  int clips_ = 0;
};

}  // namespace io
