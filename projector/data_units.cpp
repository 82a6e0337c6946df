#include "projector/data_units.hpp"

#include <charconv>
#include <optional>

#include "io/errors.hpp"

namespace projector {
namespace {

std::string text(double v) {
  char buf[32];
  const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
  return std::string(buf, end);
}

void check_agrees(const char* option, const std::optional<double>& given, double data, const char* which,
                  const Options& o, const RunResults& run) {
  if (!given || *given == data) return;
  io::fail(std::string(option) + " " + text(*given) + " contradicts the " + which + " scale " + text(data) +
           " of the data, which the results file '" + o.results + "' gives (from the preparer's metadata '" +
           run.metadata_file + "'): leave " + option + " out, or give --scaled-units for the data file's scaled units");
}

}  // namespace

Units data_units(const Options& o, const RunResults& run) {
  if (o.scaled_units) return {1.0, 1.0};
  if (run.data_scales) {
    check_agrees("--age-scale", o.age_scale, run.data_scales->age, "age", o, run);
    check_agrees("--height-scale", o.height_scale, run.data_scales->height, "height", o, run);
    return {run.data_scales->age, run.data_scales->height};
  }
  if (o.age_scale && o.height_scale) return {*o.age_scale, *o.height_scale};
  io::fail("the results file '" + o.results +
           "' does not give the data's scales (its run found no metadata of the preparer beside the data file): "
           "give --age-scale and --height-scale, the scales given to the preparer, or --scaled-units for the data "
           "file's scaled units");
}

}  // namespace projector
