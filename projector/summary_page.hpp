// The summary page of a fit: one self-contained HTML file (no script, no
// external style, font or image) that any browser shows without a network:
// title, model and outcome, the globals in raw units where the conversion is
// exact (projector/raw_units.hpp) with standard errors and correlations, the
// weighted averages of the locals, the comparer's table when given, the
// summary of the standardised innovations, and the three figures inline.
#pragma once

#include <string>

#include "projector/comparison_file.hpp"
#include "projector/page_results.hpp"
#include "projector/projection_tables.hpp"
#include "projector/residual_figure.hpp"

namespace projector {

struct PageFigures {  // the SVG files' texts
  std::string plots;
  std::string curves;
  std::string residuals;
};

struct PageInput {
  std::string results_path;
  const PageResults* results = nullptr;
  const ComparisonTable* comparison = nullptr;  // null: the fit did not come from the comparer
  ResidualSummary residuals;
  PageFigures figures;
  Units units;
  std::string age_unit;
  std::string height_unit;
  double level = 0.9;
  bool full_intervals = false;  // --intervals full, over `draws` draws of the parameters per plot
  int draws = 0;
};

void write_summary_page(const std::string& path, const PageInput& page);

// Text for HTML: &, <, >, " escaped.
std::string html_text(const std::string& text);

// An SVG file's drawing for inclusion in a page: the XML declaration left
// out, and its identifiers (clip paths) given `prefix` so that several
// drawings on one page do not share them.
std::string inline_svg(const std::string& svg, const std::string& prefix);

}  // namespace projector
