#include "starter/locals_pass.hpp"

#include <array>
#include <cerrno>
#include <cstring>

#include "common/limits.hpp"
#include "common/plot_file_layout.hpp"
#include "common/plot_record.hpp"
#include "io/errors.hpp"
#include "starter/plot_locals.hpp"
#include "starter/progress.hpp"

namespace starter {

Spill open_spill() {
  Spill spill(std::tmpfile(), std::fclose);
  if (!spill) io::fail(std::string("cannot make a scratch file for the starting locals: ") + std::strerror(errno));
  return spill;
}

LocalsPassResult compute_start_locals(PlotFiles& files, const ProfileSettings& settings, const model::Globals& globals,
                                      std::FILE* spill, io::CsvWriter& runaways) {
  const int nl = settings.roles.nl;
  LocalsPassResult result;
  Progress progress("computing the starting locals", files.plots());
  files.rewind();
  common::Plot plot;
  for (std::int64_t p = 1; p <= files.plots(); ++p) {
    files.read_plot(p, plot);
    const LocalFit fit =
        fit_locals(settings.roles, settings.esde, globals, plot, settings.rate_reference, RateSearch::wide);
    result.objective += fit.objective;
    if (std::fwrite(fit.locals.data(), sizeof(double), static_cast<std::size_t>(nl), spill) !=
        static_cast<std::size_t>(nl))
      io::fail(std::string("cannot write the scratch file of the starting locals: ") + std::strerror(errno));
    if (fit.extreme && result.extreme++ == 0) {
      result.first_extreme = p;
      result.first_extreme_id = plot.id;
    }
    if (fit.at_bound) {
      if (result.runaway++ == 0) {
        result.first_runaway = p;
        result.first_runaway_id = plot.id;
      }
      runaways.field(static_cast<std::int64_t>(p)).field(plot.id);
      for (int l = 0; l < nl; ++l) runaways.field(fit.locals[static_cast<std::size_t>(l)]);
      runaways.end_row();
    }
    progress.at(p);
  }
  files.check_data_ends();
  return result;
}

LocalsMoments spill_moments(std::FILE* spill, std::int64_t plots, int nl) {
  std::rewind(spill);
  LocalsMoments moments;
  moments.nl = nl;
  std::array<double, common::kMaxLocals> locals{};
  for (std::int64_t p = 1; p <= plots; ++p) {
    if (std::fread(locals.data(), sizeof(double), static_cast<std::size_t>(nl), spill) != static_cast<std::size_t>(nl))
      io::fail("the scratch file of the starting locals ends early");
    moments.add(locals.data());
  }
  return moments;
}

void write_start_locals(PlotFiles& files, std::FILE* spill, int nl, const LocalsSpread* spread) {
  std::rewind(spill);
  Progress progress("writing the starting locals", files.plots());
  std::array<double, common::kMaxLocals> locals{};
  std::array<unsigned char, common::real_offset(common::kMaxLocals)> bytes{};
  for (std::int64_t p = 1; p <= files.plots(); ++p) {
    if (std::fread(locals.data(), sizeof(double), static_cast<std::size_t>(nl), spill) != static_cast<std::size_t>(nl))
      io::fail("the scratch file of the starting locals ends early");
    if (spread) spread->apply(locals.data());
    common::encode_record_id(common::read_record_start(files.locals(), p, 0, nullptr), bytes.data());
    common::encode_reals(locals.data(), 0, nl, bytes.data());
    files.locals().write(p, bytes.data(), common::real_offset(nl));
    progress.at(p);
  }
  files.locals().flush();
}

}  // namespace starter
