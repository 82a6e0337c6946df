#include "estimator/shared_records.hpp"

namespace estimator {

Sizes sizes;
Files files;
Esde esde;

void derive_sizes(Sizes& s) {
  s.ngnl = s.ng * s.nl;
  s.ngg = s.ng * (s.ng + 1) / 2;
  s.nll = s.nl * (s.nl + 1) / 2;
  s.nwork = (s.ng + 1) * s.nl;
}

}  // namespace estimator
