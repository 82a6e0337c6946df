#include "preparer/plot_gathering.hpp"

#include <cmath>
#include <cstdio>
#include <string>

#include "common/raw_data_reader.hpp"
#include "io/errors.hpp"
#include "io/format.hpp"
#include "io/text_writer.hpp"

namespace preparer {
namespace {

const io::Format& message_format() {
  static const io::Format f("(1X,A,I9,A,I2,A)");
  return f;
}

std::string number_text(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

// A bound in its shortest form (1e+30).
std::string bound_text(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

[[noreturn]] void stop_for_plot(const char* text, int id) {
  io::console().write(message_format(), io::Items().a(text).i(id));
  throw io::Stop{io::kExitDetectedError, ""};
}

class Gatherer : public common::RawDataHandler {
 public:
  Gatherer(const Answers& answers, common::StartRecord& record, const PlotFiles& files, Written& written)
      : a_(answers), record_(record), files_(files), written_(written) {}

  void run() {
    if (files_.parameters != nullptr) skip_parameter_lines();
    common::RawDataReader reader(files_.raw, *this);
    common::RawPlot plot;
    while (reader.next(plot)) finish(plot);
    write_using();
  }

  void fault(common::RawFault what, std::int32_t id) override {
    switch (what) {
      case common::RawFault::unreadable:
        io::console().write(message_format(), io::Items().a("*** ERROR reading data file at plot ").i(id));
        io::stop_with_diagnostic(files_.raw.failure());
      case common::RawFault::decreasing_age:
        stop_for_plot("*** ERROR:  Decreasing age in plot ", id);
      case common::RawFault::too_many:
        stop_for_plot("*** ERROR:  More than 99 measurements in plot ", id);
    }
  }

  // A height must be positive, and the scaled age and height within what the
  // power scale of the growth law can raise to its powers in doubles.
  void measurement(const common::RawPlot& plot, int k) override {
    const std::int32_t id = plot.id;
    const double height = plot.heights[static_cast<std::size_t>(k)];
    const double age = plot.ages[static_cast<std::size_t>(k)];
    const std::string where = files_.raw.role() + ", line " + std::to_string(files_.raw.line_number()) + ": the ";
    if (!(height > 0.0))
      io::stop_with_diagnostic(where + "height of plot " + std::to_string(id) + " is " + number_text(height) +
                               "; heights must be greater than 0");
    const double scaled = height / a_.height_scale;
    if (!(scaled >= common::kSmallestScaledHeight && scaled <= common::kLargestScaledValue))
      io::stop_with_diagnostic(
          where + "height of plot " + std::to_string(id) + " is " + number_text(height) + " (" + number_text(scaled) +
          " scaled); scaled heights must lie between " + bound_text(common::kSmallestScaledHeight) + " and " +
          bound_text(common::kLargestScaledValue) + ", beyond which their powers in the growth law overflow");
    if (!(std::fabs(age / a_.age_scale) <= common::kLargestScaledValue))
      io::stop_with_diagnostic(where + "age of plot " + std::to_string(id) + " is " + number_text(age) + " (" +
                               number_text(age / a_.age_scale) + " scaled); scaled ages must lie within " +
                               bound_text(common::kLargestScaledValue) + " of 0");
  }

 private:
  void skip_parameter_lines() {
    for (int i = 1; i <= a_.skip; ++i) {
      if (!files_.parameters->skip_line()) {
        io::console().write(message_format(), io::Items().a("*** ERROR reading local parameters file for"));
        io::stop_with_diagnostic(files_.parameters->role() + " ends at line " + std::to_string(i) + " of the " +
                                 std::to_string(a_.skip) + " lines to skip");
      }
    }
  }

  void read_parameters(int id) {
    io::FreeFormReader& in = *files_.parameters;
    in.begin();
    for (int c = 0; c < a_.columns; ++c) {
      const std::string what = "column " + std::to_string(c + 1) + " of plot " + std::to_string(id);
      if (in.next(values_[static_cast<std::size_t>(c)], what) != io::FreeFormReader::Status::ok) {
        io::console().write(message_format(), io::Items().a("*** ERROR reading local parameters file for").i(id));
        io::stop_with_diagnostic(in.failure());
      }
    }
    const double found = values_[static_cast<std::size_t>(a_.id_column - 1)];
    if (found != static_cast<double>(id)) {
      static const io::Format mismatch("(1X,A,A,I10,I10)");
      const double shown = std::isfinite(found) && std::fabs(found) < 2147483648.0 ? std::trunc(found) : 0.0;
      io::console().write(mismatch, io::Items()
                                        .a("*** ERROR:  Plot ID mistmatch between data and local")
                                        .a(" parameters files:")
                                        .i(id)
                                        .i(static_cast<long long>(shown)));
      if (shown == found) throw io::Stop{io::kExitDetectedError, ""};
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.17g", found);
      io::stop_with_diagnostic(std::string("the plot ID column holds ") + buf);
    }
  }

  void finish(const common::RawPlot& plot) {
    const std::int32_t id = plot.id;
    const int n = plot.n;
    if (files_.parameters != nullptr) {
      read_parameters(id);
      for (int i = 0; i < a_.nl; ++i) {
        const int position = a_.positions[static_cast<std::size_t>(i)];
        if (position >= 1) record_[static_cast<std::size_t>(i)] = values_[static_cast<std::size_t>(position - 1)];
      }
    }
    if (n < a_.minimum) {
      io::console().write(
          message_format(),
          io::Items().a("*** WARNING:  plot ").i(id).a(" has less than").i(a_.minimum).a(" measurements. Ignored."));
      return;
    }
    std::array<double, common::kMaxMeasurements> scaled_ages{};
    std::array<double, common::kMaxMeasurements> scaled_heights{};
    for (int i = 0; i < n; ++i) {
      scaled_ages[static_cast<std::size_t>(i)] = plot.ages[static_cast<std::size_t>(i)] / a_.age_scale;
      scaled_heights[static_cast<std::size_t>(i)] = plot.heights[static_cast<std::size_t>(i)] / a_.height_scale;
    }
    common::write_data_plot(files_.data, id, n, scaled_ages.data(), scaled_heights.data());
    written_.data.add_plot(id, n, scaled_ages.data(), scaled_heights.data());
    written_.measurements += n;
    ++written_.plots;
    common::write_start_record(files_.locals, written_.plots, id, record_);
  }

  void write_using() { io::console().write(message_format(), io::Items().a("Using").i(written_.plots).a(" plots")); }

  const Answers& a_;
  common::StartRecord& record_;
  const PlotFiles& files_;
  std::array<double, common::kMaxParameterColumns> values_{};
  Written& written_;
};

}  // namespace

void gather_plots(const Answers& answers, common::StartRecord& record, const PlotFiles& files, Written& written) {
  Gatherer(answers, record, files, written).run();
}

}  // namespace preparer
