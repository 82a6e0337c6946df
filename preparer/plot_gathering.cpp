#include "preparer/plot_gathering.hpp"

#include <cmath>
#include <cstdio>
#include <string>

#include "io/errors.hpp"
#include "io/format.hpp"
#include "io/text_writer.hpp"

namespace preparer {
namespace {

// Room for a whole plot and the first line of the next one.
constexpr int kLineRoom = common::kMaxMeasurements + 1;
constexpr int kNoPlotYet = -6391;

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

class Gatherer {
 public:
  Gatherer(const Answers& answers, common::StartRecord& record, const PlotFiles& files, Written& written)
      : a_(answers), record_(record), files_(files), written_(written) {}

  void run() {
    if (files_.parameters != nullptr) skip_parameter_lines();
    int k = 0;
    int id = kNoPlotYet;
    for (;;) {
      ++k;
      const int previous = id;
      const Read status = read_line(k, id);
      if (status == Read::end) {
        if (k > 1) finish(previous, k - 1);
        write_using();
        return;
      }
      if (status == Read::bad) stop_for_plot("*** ERROR reading data file at plot ", id);
      if (k > 1 && id != previous) {
        finish(previous, k - 1);
        move_first(k);
        k = 1;
      }
      if (k > 1) {
        const double before = ages_[static_cast<std::size_t>(k - 2)];
        const double now = ages_[static_cast<std::size_t>(k - 1)];
        if (!(now >= before)) stop_for_plot("*** ERROR:  Decreasing age in plot ", id);
        if (k > common::kMaxMeasurements) stop_for_plot("*** ERROR:  More than 99 measurements in plot ", id);
      }
      check_measurement(k, id);
    }
  }

 private:
  enum class Read { ok, end, bad };

  // One measurement line: identifier, age, height (read free-form, so a short
  // line continues on the next one). The identifier is kept as soon as it is
  // read, so a failure later in the line names this line's plot.
  // A height must be positive, and the scaled age and height within what the
  // power scale of the growth law can raise to its powers in doubles.
  void check_measurement(int k, int id) const {
    const double height = heights_[static_cast<std::size_t>(k - 1)];
    const double age = ages_[static_cast<std::size_t>(k - 1)];
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

  Read read_line(int k, int& id) {
    io::FreeFormReader& raw = files_.raw;
    raw.begin();
    using S = io::FreeFormReader::Status;
    S s = raw.next(id, "the plot identifier");
    if (s == S::ok) s = raw.next(ages_[static_cast<std::size_t>(k - 1)], "the age");
    if (s == S::ok) s = raw.next(heights_[static_cast<std::size_t>(k - 1)], "the height");
    if (s == S::ok) return Read::ok;
    if (s == S::end_of_file) return Read::end;
    io::console().write(message_format(), io::Items().a("*** ERROR reading data file at plot ").i(id));
    io::stop_with_diagnostic(raw.failure());
  }

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

  // The plot made of lines 1 .. n, with identifier id.
  void finish(int id, int n) {
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
      scaled_ages[static_cast<std::size_t>(i)] = ages_[static_cast<std::size_t>(i)] / a_.age_scale;
      scaled_heights[static_cast<std::size_t>(i)] = heights_[static_cast<std::size_t>(i)] / a_.height_scale;
    }
    common::write_data_plot(files_.data, id, n, scaled_ages.data(), scaled_heights.data());
    written_.data.add_plot(id, n, scaled_ages.data(), scaled_heights.data());
    written_.measurements += n;
    ++written_.plots;
    common::write_start_record(files_.locals, written_.plots, id, record_);
  }

  void move_first(int k) {
    ages_[0] = ages_[static_cast<std::size_t>(k - 1)];
    heights_[0] = heights_[static_cast<std::size_t>(k - 1)];
  }

  void write_using() { io::console().write(message_format(), io::Items().a("Using").i(written_.plots).a(" plots")); }

  const Answers& a_;
  common::StartRecord& record_;
  const PlotFiles& files_;
  std::array<double, kLineRoom> ages_{};
  std::array<double, kLineRoom> heights_{};
  std::array<double, common::kMaxParameterColumns> values_{};
  Written& written_;
};

}  // namespace

void gather_plots(const Answers& answers, common::StartRecord& record, const PlotFiles& files, Written& written) {
  Gatherer(answers, record, files, written).run();
}

}  // namespace preparer
