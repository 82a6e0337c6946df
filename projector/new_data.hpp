// New plots for a finished run (--new-data RAW): a raw data file in the
// preparer's format and the run's raw units, read through the preparer's
// reader (common/raw_data_reader.hpp). A first pass checks the whole file
// (ages not decreasing, heights greater than 0, at most 99 measurements) and
// counts its plots and measurements; the second fits each plot's locals with
// the run's globals held (new_plot_locals.hpp; for a random-locals fit the
// locals stay random and the plot is handed on with the population's means)
// and hands it on as a plot of the run, in the run's scaled units. An identifier given to two plots is
// refused: the first pass marks identifiers in a fixed bitmap of their
// hashes and keeps at most kMaxSuspects of those whose hash was marked
// before; the second finds which of them recur. When there are more, the
// first pass checks them kMaxSuspects at a time (the smallest first) with
// further passes, so that memory does not grow with the number of plots. Every fault ends the run
// (status 2) with a message naming the file, the line and the value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "projector/new_plot_locals.hpp"
#include "projector/plot_pass.hpp"
#include "projector/projection_tables.hpp"
#include "projector/run_results.hpp"

namespace projector {

inline constexpr std::size_t kMaxSuspects = std::size_t{1} << 16;

struct NewDataScan {
  std::int64_t plots = 0;
  std::int64_t measurements = 0;
  std::vector<std::int32_t> suspects;  // identifiers left to check for repeats, sorted, at most kMaxSuspects
};

// Refuses the second plot given an identifier among `suspects` (sorted),
// naming both plots' first lines.
class RepeatCheck {
 public:
  RepeatCheck(const std::string& path, const std::vector<std::int32_t>& suspects);
  void see(std::int32_t id, long line);  // `line`: the plot's first line

 private:
  const std::string& path_;
  const std::vector<std::int32_t>& suspects_;
  std::vector<long> first_lines_;  // 0 until seen
};

NewDataScan scan_new_data(const std::string& path);

// `visit` gets every plot whose locals are determined, `left_out` every other
// one (its place in the file, identifier and measurements) with the reason.
void for_each_new_plot(const RunResults& run, const std::string& path, const Units& units, const NewDataScan& scan,
                       const std::function<void(const PlotData&, const NewPlotLocals&)>& visit,
                       const std::function<void(const PlotData&, const std::string&)>& left_out);

}  // namespace projector
