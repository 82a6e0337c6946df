// The plot figure paged through every plot of the pass (--plot-pages): 16
// plots to a page, in the order of the pass, page k in the file named by
// page_path(k). Each page is written when it is full, into a temporary
// folder beside FILE (io/replaced_file.hpp), and every page is put in place
// by commit() after the pass, so that a run that fails (plot files that are
// not the run's) or is interrupted (SIGINT, SIGTERM) leaves no page behind.
// Memory holds one page.
#pragma once

#include <cstdint>
#include <string>

#include "projector/plot_figure.hpp"

namespace projector {

// FILE with "-k" before its ending ".svg" (after it, when FILE does not end
// so); k has as many digits, zero-padded, as the number of the last page
// `plots` plots can fill, so that the names sort in page order.
std::string plot_page_path(const std::string& file, std::int64_t page, std::int64_t plots);

class PlotFigurePages {
 public:
  // `plots`: the number of plots the pass reads (names the pages).
  PlotFigurePages(std::string file, std::int64_t plots, double last_age, double z, const Units& units,
                  FigureText text);
  ~PlotFigurePages();
  PlotFigurePages(const PlotFigurePages&) = delete;
  PlotFigurePages& operator=(const PlotFigurePages&) = delete;

  void add(const PlotData& plot, const PlotFigure::Band& band = {});
  // Writes the last page (an empty one when no plot came) and puts every page in place.
  void commit();
  std::string page_path(std::int64_t page) const { return plot_page_path(file_, page, plots_); }

 private:
  void write_page();

  std::string file_;
  std::int64_t plots_;
  Units units_;
  FigureText text_;
  PlotFigure figure_;
  std::string folder_;        // the temporary folder, made with the first page
  std::int64_t written_ = 0;  // pages written there
  bool committed_ = false;
};

}  // namespace projector
