// The arithmetic of one plot in each pass of the optimiser, free of files and
// of the console: the caller loads the plot's record and measurements into a
// slot, a kernel evaluates it, and the caller combines the results in plot
// order.
//
//   trial:      f at the trial point (globals + alpha dx, locals + alpha lstep);
//   derivative: at the accepted point, the plot's gradient and Hessian blocks
//               (trders after ders), the factor L of its local block C, and
//               its contributions to the reduced global system:
//               B^T C^-1 g_l and B^T C^-1 B (from L^-1 g_l and L^-1 B);
//   step:       lstep = -C^-1 (g_l + B dx) by back-substitution.
// The group kernels evaluate up to kGroupPlots plots at once, the objective
// and its derivatives side by side in vector lanes (likelihood kernels chosen
// once per run for the model's moved parameters); a plot's results never
// depend on the group it falls in.
#pragma once

#include <cstdint>
#include <span>

#include "estimator/plot_files.hpp"
#include "estimator/shared_records.hpp"
#include "model/lanes/likelihood_kernels.hpp"
#include "model/marginal/marginal_term.hpp"

namespace estimator {

inline constexpr int kGroupPlots = 4;

struct PlotSlot {
  // The record of the local-parameter file.
  std::int32_t record_id;
  model::Locals locals;
  WorkBlock work;
  LocalFactor lfactor;
  // The measurements (not read for the step pass).
  common::Plot data;
  // Results.
  double f;
  model::Locals trial_locals;
  model::Globals ggrad;
  model::Globals dx_part;                  // (B^T C^-1 g_l)(i)
  GlobalFactor hgg;                        // A
  GlobalFactor reduced;                    // (B^T C^-1 B)(i, j), packed
  double largest;                          // largest |lgrad| (derivative pass) or |lstep| (step pass)
  int ierr;                                // the local block was not positive definite
  int warnings;                            // near-singularity warnings of its factorisation
  model::marginal::PlotMarginal marginal;  // random locals: the plot's marginal term
};

void trial_group(const model::Esde& esde, const Sizes& sizes, const model::LikelihoodKernels& kernels,
                 const model::Globals& trial_globals, double alpha, std::span<PlotSlot> group);
void derivative_group(const model::Esde& esde, const Sizes& sizes, const model::LikelihoodKernels& kernels,
                      const model::Globals& globals, double alpha, std::span<PlotSlot> group);
void step_group(const Sizes& sizes, const model::Globals& dx, std::span<PlotSlot> group);

// Adds a plot's contributions of the derivative pass to the reduced global
// system: gradient += g_x, rhs += B^T C^-1 g_l, system += A - B^T C^-1 B.
void add_to_global_system(const Sizes& sizes, const PlotSlot& s, model::Globals& gradient, model::Globals& rhs,
                          GlobalFactor& system);

// Largest magnitude so far; a value that is not a number stays so. The
// result does not depend on the order of the values.
double max_abs(double so_far, double v);

}  // namespace estimator
