// The projector program: reads the command line and the results file, makes
// one pass over the plots for the tables and the figures of plots and
// residuals, and puts every output in place only when all are complete.
#pragma once

namespace projector {

int run_projector(int argc, char** argv);

}  // namespace projector
