#include "estimator/marginal_trace.hpp"

#include "io/format.hpp"

namespace estimator {

void ConsoleMarginalTrace::iteration(const MarginalIteration& s, std::span<const double> phi) {
  static const io::Format f(
      "(/,1H ,6H ITER.,I3,10H  MARGIN.=,G18.11,8H   DMAX=,G11.5,7H  GMAX=,G11.5,9H   ALPHA=,G11.5,/,13X,"
      "13HOUTER PARMS.:,10G18.11,/,/)");
  io::Items items;
  items.i(s.k).r(s.objective).r(s.dmax).r(s.gmax).r(s.alpha).reals(phi);
  console_.write(f, items);
  console_.flush();
}

}  // namespace estimator
