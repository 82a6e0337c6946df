// The raw file of new plots (projector --new-data RAW) against a small
// finished random-locals run with two locals and 5 nodes per local (model 18
// on the loblolly data, raw units of feet and years): each new plot's start
// with the globals held, the search for the mode of its locals, the nodes'
// conditional mean and covariance (nodes beyond the model's range carry no
// integrand), and every output of the new plots: the conditional
// distributions of --new-locals, the projections with full intervals (the
// mode searched anew at every draw of the outer parameters), the population
// table and the figures. A unit may hold at most 60 lines, and the draws are
// few, so that a unit stays cheap.
//
// A run that ends with status 0 has to mean what it says: every row of the
// new-locals table either names why the plot is left out, or gives a finite
// marginal term, finite modes, standard deviations above 0 and a correlation
// within [-1, 1]; anything else aborts, as a crash would.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "projector/run_projector.hpp"

namespace {

constexpr long kMaxLines = 60;
constexpr int kLocals = 2;  // model 18: asymptote and rate

// The fields of one line of the table, split at every comma (only the last
// field, the reason a plot is left out, may hold a quoted comma).
std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out(1);
  for (char c : line) {
    if (c == ',')
      out.emplace_back();
    else
      out.back() += c;
  }
  return out;
}

double number(const std::string& text) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  return end != text.c_str() && *end == '\0' ? v : std::nan("");
}

// A row of position, id, measurements, marginal_term, mode and sd of each
// local, correlation, left_out.
bool row_holds(const std::string& line) {
  const std::vector<std::string> f = fields(line);
  constexpr std::size_t kNumbers = 4 + 2 * kLocals + 1;
  if (f.size() < kNumbers + 1) return false;
  if (!f[kNumbers].empty()) return true;  // left out, with its reason
  if (f.size() != kNumbers + 1) return false;
  for (std::size_t k = 0; k < kNumbers; ++k)
    if (!std::isfinite(number(f[k]))) return false;
  for (int l = 0; l < kLocals; ++l)
    if (!(number(f[static_cast<std::size_t>(5 + 2 * l)]) > 0.0)) return false;
  return std::fabs(number(f[kNumbers - 1])) <= 1.0;
}

void check_new_locals(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  if (!std::getline(in, line)) {
    std::fprintf(stderr, "status 0 without the new-locals table %s\n", path.c_str());
    std::abort();
  }
  while (std::getline(in, line)) {
    if (row_holds(line)) continue;
    std::fprintf(stderr, "status 0 with a new-locals row that is neither left out nor a distribution:\n%s\n",
                 line.c_str());
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quiet_console();
  fuzz::random_run();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (std::count(text.begin(), text.end(), '\n') > kMaxLines) return -1;  // not added to the corpus
  const fuzz::FixedRun& run = fuzz::random_run();
  const std::string raw = fuzz::write_file("new.raw", text);
  const std::string new_locals = fuzz::scratch("new-locals.csv");
  std::remove(new_locals.c_str());
  const int status =
      fuzz::run_in_process(projector::run_projector,
                           fuzz::with_projector_outputs(
                               {"projector", run.results, "--new-data", raw, "--new-locals", new_locals, "--intervals",
                                "full", "--draws", "20", "--population", fuzz::scratch("population.csv"),
                                "--site-curves", "1.5,2.5", "--site-curve-figure", fuzz::scratch("sc.svg")}));
  if (status == 0) check_new_locals(new_locals);
  return 0;
}
