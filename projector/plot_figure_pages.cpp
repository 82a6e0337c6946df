#include "projector/plot_figure_pages.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "io/errors.hpp"
#include "io/replaced_file.hpp"

namespace projector {
namespace {

std::string beside(const std::string& path) { return path + ".part"; }

}  // namespace

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
  if (committed_) return;
  for (std::int64_t k = 1; k <= written_; ++k) ::unlink(beside(page_path(k)).c_str());
}

void PlotFigurePages::add(const PlotData& plot, const PlotFigure::Band& band) {
  if (!figure_.wants_more()) write_page();
  figure_.add(plot, band);
}

void PlotFigurePages::write_page() {
  figure_.write(beside(page_path(written_ + 1)), units_, text_);
  ++written_;
  figure_.clear();
}

void PlotFigurePages::commit() {
  if (figure_.count() > 0 || written_ == 0) write_page();
  for (std::int64_t k = 1; k <= written_; ++k) {
    const std::string path = page_path(k);
    if (std::rename(beside(path).c_str(), io::replacement_target(path).c_str()) != 0)
      io::fail("cannot write the plot figure '" + path + "': " + std::strerror(errno));
  }
  committed_ = true;
}

}  // namespace projector
