// quadrature_convergence: how a random-locals fit's marginal objective
// converges with the nodes per local. At the outer estimates of the fit's
// results file it sums every plot's marginal term m_p over the data file for
// K = 1 .. 20 nodes per local, each plot's mode searched from the population
// mean, and prints one row per K: the sum, its difference to K = 20, the mean
// and largest absolute difference per plot, and the plots whose term is not ok
// (their terms left out of every row).
//
//   quadrature_convergence DATA RESULTS_JSON
#include <array>
#include <cmath>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/plot_file_readers.hpp"
#include "common/results_reader.hpp"
#include "model/marginal/marginal_term.hpp"

namespace mg = model::marginal;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: quadrature_convergence DATA RESULTS_JSON\n");
    return 2;
  }
  try {
    const common::ResultsReader results(argv[2]);
    if (results.text("/locals") != "random") throw std::runtime_error("not the results of a random-locals fit");
    const model::Esde esde{results.finite("/model/constants/0"), results.finite("/model/constants/1"),
                           static_cast<int>(results.integer("/model/number"))};
    const int nl = results.size("/model/locals"), ng = results.size("/model/globals");
    mg::Outer phi{};
    results.numbers("/outer/estimates", mg::outer_count(ng, nl), phi);
    const mg::LocalPair start{phi[static_cast<std::size_t>(ng)], nl == 2 ? phi[static_cast<std::size_t>(ng + 1)] : 0.0};

    constexpr int kLargest = mg::kMaxNodesPerLocal;
    std::vector<mg::QuadratureRule> rules;
    for (int k = 1; k <= kLargest; ++k) rules.push_back(mg::quadrature_rule(k, nl));
    std::array<double, kLargest> sum{}, largest{};
    std::array<int, kLargest> failed{};
    int plots = 0, used = 0;
    io::SequentialReader data(argv[1], "data file");
    common::Plot plot;
    for (common::PlotStatus s; (s = common::read_any_plot(data, plot)) != common::PlotStatus::data_ended;) {
      if (s != common::PlotStatus::ok) throw std::runtime_error("the data file is damaged after plot " +
                                                                std::to_string(plots));
      ++plots;
      const mg::PlotMeasurements measurements{plot.n, plot.ages.data(), plot.heights.data()};
      std::array<double, kLargest> term{};
      bool ok = true;
      for (int k = 0; k < kLargest; ++k) {
        const mg::PlotMarginal r = mg::marginal_term(esde, rules[static_cast<std::size_t>(k)], phi, measurements,
                                                     start, false);
        if (r.status != mg::PlotStatus::ok) {
          ++failed[static_cast<std::size_t>(k)];
          ok = false;
        }
        term[static_cast<std::size_t>(k)] = r.term;
      }
      if (!ok) continue;
      ++used;
      for (std::size_t k = 0; k < term.size(); ++k) {
        sum[k] += term[k];
        largest[k] = std::fmax(largest[k], std::fabs(term[k] - term.back()));
      }
    }
    std::printf("%d plots, %d with every term ok; sums over those at the estimates of %s\n\n", plots, used, argv[2]);
    std::printf("| K | sum of m_p | minus K = %d | per plot, mean | per plot, largest | plots not ok |\n", kLargest);
    std::printf("|---|---|---|---|---|---|\n");
    for (std::size_t k = 0; k < sum.size(); ++k)
      std::printf("| %zu | %.6f | %+.6f | %+.2e | %.2e | %d |\n", k + 1, sum[k], sum[k] - sum.back(),
                  used ? (sum[k] - sum.back()) / used : 0.0, largest[k], failed[k]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quadrature_convergence: %s\n", e.what());
    return 1;
  }
  return 0;
}
