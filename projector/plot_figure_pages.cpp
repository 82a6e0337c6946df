#include "projector/plot_figure_pages.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "io/errors.hpp"
#include "io/replaced_file.hpp"

namespace projector {
std::string plot_page_path(const std::string& file, std::int64_t page, std::int64_t plots) {
  const std::int64_t pages = std::max<std::int64_t>(1, (plots + PlotFigure::kMaxPlots - 1) / PlotFigure::kMaxPlots);
  const int digits = static_cast<int>(std::to_string(pages).size());
  char number[32];
  std::snprintf(number, sizeof number, "-%0*lld", digits, static_cast<long long>(page));
  const std::string ending = ".svg";
  if (file.size() > ending.size() && file.compare(file.size() - ending.size(), ending.size(), ending) == 0)
    return file.substr(0, file.size() - ending.size()) + number + ending;
  return file + number;
}

PlotFigurePages::PlotFigurePages(std::string file, std::int64_t plots, double last_age, double z, const Units& units,
                                 FigureText text)
    : file_(std::move(file)), plots_(plots), units_(units), text_(std::move(text)), figure_(last_age, z) {}

PlotFigurePages::~PlotFigurePages() {
  if (!committed_ && !folder_.empty()) io::remove_temporary_folder(folder_, written_ + 1);
}

void PlotFigurePages::add(const PlotData& plot, const PlotFigure::Band& band) {
  if (!figure_.wants_more()) write_page();
  figure_.add(plot, band);
}

// Each page goes to the temporary folder under its number, counted there
// before it is written so that an interruption removes it whatever its state.
void PlotFigurePages::write_page() {
  if (folder_.empty()) folder_ = io::create_temporary_folder(file_, "plot figure");
  io::count_temporary_files(folder_, written_ + 1);
  figure_.write(io::temporary_file(folder_, written_ + 1), units_, text_);
  ++written_;
  figure_.clear();
}

void PlotFigurePages::commit() {
  if (figure_.count() > 0 || written_ == 0) write_page();
  for (std::int64_t k = 1; k <= written_; ++k) {
    const std::string path = page_path(k);
    if (std::rename(io::temporary_file(folder_, k).c_str(), io::replacement_target(path).c_str()) != 0)
      io::fail("cannot write the plot figure '" + path + "': " + std::strerror(errno));
  }
  io::remove_temporary_folder(folder_, written_);
  committed_ = true;
}

}  // namespace projector
