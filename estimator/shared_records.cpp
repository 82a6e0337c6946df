#include "estimator/shared_records.hpp"

namespace estimator {

Sizes make_sizes(int ng, int nl, int np) {
  Sizes s;
  s.ng = ng;
  s.nl = nl;
  s.np = np;
  s.ngnl = ng * nl;
  s.ngg = ng * (ng + 1) / 2;
  s.nll = nl * (nl + 1) / 2;
  s.nwork = (ng + 1) * nl;
  return s;
}

}  // namespace estimator
