#include "projector/new_data.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "common/raw_data_reader.hpp"
#include "io/errors.hpp"
#include "io/free_form_reader.hpp"
#include "model/models.hpp"

namespace projector {
namespace {

constexpr std::uint32_t kBitmapBits = 1u << 26;  // 8 MiB

std::string text(double v) {
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

std::uint32_t slot_of(std::int32_t id) {
  std::uint64_t h = static_cast<std::uint32_t>(id) * 0x9e3779b97f4a7c15ULL;
  return static_cast<std::uint32_t>(h >> 38);  // the top 26 bits
}

// The projector's wording of the raw reader's faults and its check of each measurement.
class NewDataChecks : public common::RawDataHandler {
 public:
  explicit NewDataChecks(io::FreeFormReader& raw) : raw_(raw) {}
  void fault(common::RawFault what, std::int32_t id) override {
    switch (what) {
      case common::RawFault::unreadable:
        io::fail(raw_.failure());
      case common::RawFault::decreasing_age:
        io::fail(where() + "the ages of plot " + std::to_string(id) + " decrease; within a plot ages must not decrease");
      case common::RawFault::too_many:
        io::fail(where() + "plot " + std::to_string(id) + " has more than 99 measurements");
    }
  }
  void measurement(const common::RawPlot& plot, int k) override {
    if (k == 0) first_line = raw_.line_number();
    const double h = plot.heights[static_cast<std::size_t>(k)], t = plot.ages[static_cast<std::size_t>(k)];
    if (!(h > 0.0) || !std::isfinite(h))
      io::fail(where() + "the height of plot " + std::to_string(plot.id) + " is " + text(h) +
               "; heights must be greater than 0");
    if (!std::isfinite(t)) io::fail(where() + "the age of plot " + std::to_string(plot.id) + " is " + text(t));
  }
  std::string where() const { return raw_.role() + ", line " + std::to_string(raw_.line_number()) + ": "; }
  long first_line = 0;  // of the plot being read

 private:
  io::FreeFormReader& raw_;
};

const char* const kRole = "new data file";

std::string named(const std::string& path) { return std::string(kRole) + " '" + path + "'"; }

// One pass over the file: marks every identifier's hash in `bitmap` (cleared
// first) and keeps in `suspects`, sorted, the smallest kMaxSuspects distinct
// identifiers above `above` whose hash was marked before. Counts into `counts`
// if given. True if more such identifiers were found than were kept.
bool mark_pass(const std::string& path, std::optional<std::int32_t> above, std::vector<std::uint64_t>& bitmap,
               std::vector<std::int32_t>& suspects, NewDataScan* counts) {
  io::FreeFormReader raw(path, kRole);
  NewDataChecks checks(raw);
  common::RawDataReader reader(raw, checks);
  std::fill(bitmap.begin(), bitmap.end(), 0);
  suspects.clear();
  bool more = false;
  common::RawPlot plot;
  while (reader.next(plot)) {
    if (counts) {
      ++counts->plots;
      counts->measurements += plot.n;
    }
    const std::uint32_t b = slot_of(plot.id);
    std::uint64_t& word = bitmap[b / 64];
    const bool marked = (word >> (b % 64)) & 1u;
    word |= std::uint64_t{1} << (b % 64);
    if (!marked || (above && plot.id <= *above)) continue;
    const auto at = std::lower_bound(suspects.begin(), suspects.end(), plot.id);
    if (at != suspects.end() && *at == plot.id) continue;
    if (suspects.size() < kMaxSuspects) {
      suspects.insert(at, plot.id);
      continue;
    }
    more = true;
    if (at == suspects.end()) continue;
    suspects.pop_back();
    suspects.insert(std::lower_bound(suspects.begin(), suspects.end(), plot.id), plot.id);
  }
  return more;
}

}  // namespace

RepeatCheck::RepeatCheck(const std::string& path, const std::vector<std::int32_t>& suspects)
    : path_(path), suspects_(suspects), first_lines_(suspects.size(), 0) {}

void RepeatCheck::see(std::int32_t id, long line) {
  const auto at = std::lower_bound(suspects_.begin(), suspects_.end(), id);
  if (at == suspects_.end() || *at != id) return;
  long& first = first_lines_[static_cast<std::size_t>(at - suspects_.begin())];
  if (first != 0)
    io::fail(named(path_) + ": the identifier " + std::to_string(id) + " is given to the plot at line " +
             std::to_string(first) + " and again to the plot at line " + std::to_string(line) +
             "; every new plot needs an identifier of its own");
  first = line;
}

NewDataScan scan_new_data(const std::string& path) {
  std::vector<std::uint64_t> bitmap(kBitmapBits / 64, 0);
  NewDataScan scan;
  bool more = mark_pass(path, std::nullopt, bitmap, scan.suspects, &scan);
  // More suspects than one pass keeps: check these, then take the next ones.
  while (more) {
    io::FreeFormReader raw(path, kRole);
    NewDataChecks checks(raw);
    common::RawDataReader reader(raw, checks);
    RepeatCheck repeats(path, scan.suspects);
    common::RawPlot plot;
    while (reader.next(plot)) repeats.see(plot.id, checks.first_line);
    const std::int32_t above = scan.suspects.back();
    more = mark_pass(path, above, bitmap, scan.suspects, nullptr);
  }
  return scan;
}

void for_each_new_plot(const RunResults& run, const std::string& path, const Units& units, const NewDataScan& scan,
                       const std::function<void(const PlotData&, const NewPlotLocals&)>& visit,
                       const std::function<void(const PlotData&, const std::string&)>& left_out) {
  io::FreeFormReader raw(path, kRole);
  NewDataChecks checks(raw);
  common::RawDataReader reader(raw, checks);
  // A random-locals fit's plots keep their locals random: the projection
  // draws them from their conditional distribution, searched from the means.
  std::optional<NewPlotFitter> fitter;
  if (!run.random_locals) fitter.emplace(run);
  RepeatCheck repeats(path, scan.suspects);
  common::RawPlot rawplot;
  PlotData plot;
  while (reader.next(rawplot)) {
    ++plot.position;
    repeats.see(rawplot.id, checks.first_line);
    plot.id = rawplot.id;
    plot.n = rawplot.n;
    for (int i = 0; i < plot.n; ++i) {
      plot.ages[static_cast<std::size_t>(i)] = rawplot.ages[static_cast<std::size_t>(i)] / units.age_scale;
      plot.heights[static_cast<std::size_t>(i)] = rawplot.heights[static_cast<std::size_t>(i)] / units.height_scale;
    }
    if (!fitter) {
      plot.locals = run.local_averages;
      model::trpars(run.esde, run.globals, plot.locals, plot.curve);
      visit(plot, NewPlotLocals{});
      continue;
    }
    const NewPlotLocals fit = fitter->fit(plot);
    if (!fit.refusal.empty()) {
      left_out(plot, fit.refusal);
      continue;
    }
    plot.locals = fit.locals;
    plot.record = fit.record;
    model::trpars(run.esde, run.globals, plot.locals, plot.curve);
    visit(plot, fit);
  }
}

}  // namespace projector
