#include "io/svg_writer.hpp"

#include <cstdio>

namespace io {
namespace {

std::string num(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.2f", v);
  return b;
}

std::string escaped(std::string_view text) {
  std::string s;
  for (char ch : text) {
    switch (ch) {
      case '&':
        s += "&amp;";
        break;
      case '<':
        s += "&lt;";
        break;
      case '>':
        s += "&gt;";
        break;
      case '"':
        s += "&quot;";
        break;
      default:
        s += ch;
    }
  }
  return s;
}

std::string stroke_attributes(const Stroke& s) {
  std::string a = " stroke=\"" + std::string(s.colour) + "\" stroke-width=\"" + num(s.width) + "\"";
  if (!s.dash.empty()) a += " stroke-dasharray=\"" + std::string(s.dash) + "\"";
  return a;
}

}  // namespace

SvgWriter::SvgWriter(const std::string& path, std::string role, double width, double height)
    : out_(path, std::move(role)) {
  out_.put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
           num(width) + "\" height=\"" + num(height) + "\" viewBox=\"0 0 " + num(width) + " " + num(height) +
           "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\">\n<rect width=\"100%\" height=\"100%\" "
           "fill=\"#ffffff\"/>\n");
}

void SvgWriter::line(Point a, Point b, const Stroke& s) {
  out_.put("<line x1=\"" + num(a.x) + "\" y1=\"" + num(a.y) + "\" x2=\"" + num(b.x) + "\" y2=\"" + num(b.y) + "\"" +
           stroke_attributes(s) + "/>\n");
}

void SvgWriter::points(std::span<const Point> pts) {
  buffer_.clear();
  for (const Point& p : pts) {
    if (!buffer_.empty()) buffer_ += ' ';
    buffer_ += num(p.x) + "," + num(p.y);
  }
}

void SvgWriter::polyline(std::span<const Point> pts, const Stroke& s) {
  points(pts);
  out_.put("<polyline fill=\"none\"" + stroke_attributes(s) + " stroke-linejoin=\"round\" points=\"" + buffer_ +
           "\"/>\n");
}

void SvgWriter::polygon(std::span<const Point> pts, std::string_view fill, double opacity) {
  points(pts);
  out_.put("<polygon fill=\"" + std::string(fill) + "\" fill-opacity=\"" + num(opacity) +
           "\" stroke=\"none\" points=\"" + buffer_ + "\"/>\n");
}

void SvgWriter::rect(Point c, double w, double h, std::string_view fill, const Stroke& s) {
  out_.put("<rect x=\"" + num(c.x) + "\" y=\"" + num(c.y) + "\" width=\"" + num(w) + "\" height=\"" + num(h) +
           "\" fill=\"" + std::string(fill) + "\"" + stroke_attributes(s) + "/>\n");
}

void SvgWriter::circle(Point c, double r, std::string_view fill) {
  out_.put("<circle cx=\"" + num(c.x) + "\" cy=\"" + num(c.y) + "\" r=\"" + num(r) + "\" fill=\"" + std::string(fill) +
           "\"/>\n");
}

void SvgWriter::text(Point at, std::string_view text, double size, Anchor anchor, double degrees) {
  static const char* anchors[] = {"start", "middle", "end"};
  std::string t = "<text x=\"" + num(at.x) + "\" y=\"" + num(at.y) + "\" font-size=\"" + num(size) +
                  "\" text-anchor=\"" + anchors[static_cast<int>(anchor)] + "\"";
  if (degrees != 0) t += " transform=\"rotate(" + num(degrees) + " " + num(at.x) + " " + num(at.y) + ")\"";
  out_.put(t + ">" + escaped(text) + "</text>\n");
}

void SvgWriter::begin_clip(Point c, double w, double h) {
  const std::string id = "clip" + std::to_string(++clips_);
  out_.put("<clipPath id=\"" + id + "\"><rect x=\"" + num(c.x) + "\" y=\"" + num(c.y) + "\" width=\"" + num(w) +
           "\" height=\"" + num(h) + "\"/></clipPath>\n<g clip-path=\"url(#" + id + ")\">\n");
}

void SvgWriter::begin_group(std::string_view css_class, std::string_view data) {
  std::string g = "<g class=\"" + escaped(css_class) + "\"";
  if (!data.empty()) g += " data-value=\"" + escaped(data) + "\"";
  out_.put(g + ">\n");
}

void SvgWriter::end_group() { out_.put("</g>\n"); }

void SvgWriter::commit() {
  out_.put("</svg>\n");
  out_.commit();
}

}  // namespace io
