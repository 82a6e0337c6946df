#include "starter/locals_pass.hpp"

#include <array>

#include "io/byte_order.hpp"
#include "common/limits.hpp"
#include "starter/plot_locals.hpp"
#include "starter/progress.hpp"

namespace starter {

LocalsPassResult write_start_locals(PlotFiles& files, const ProfileSettings& settings,
                                    const estimator::Globals& globals) {
  const int nl = settings.roles.nl;
  LocalsPassResult result;
  Progress progress("writing the starting locals", files.plots());
  files.rewind();
  Plot plot;
  std::array<unsigned char, 4 + 8 * common::kMaxLocals> bytes{};
  for (std::int64_t p = 1; p <= files.plots(); ++p) {
    files.read_plot(p, plot);
    const LocalFit fit = fit_locals(settings.roles, settings.esde, globals, plot, settings.rate_reference);
    result.objective += fit.objective;
    if (fit.at_bound && result.runaway++ == 0) {
      result.first_runaway = p;
      result.first_runaway_id = plot.id;
    }
    io::store_i32(bytes.data(), plot.id);
    for (int l = 0; l < nl; ++l) io::store_f64(bytes.data() + 4 + 8 * l, fit.locals[static_cast<std::size_t>(l)]);
    files.locals().write(p, bytes.data(), 4 + 8 * nl);
    progress.at(p);
  }
  files.check_data_ends();
  files.locals().flush();
  return result;
}

}  // namespace starter
