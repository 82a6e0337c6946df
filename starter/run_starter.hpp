// The starter's main sequence: check the plot files, fit the globals on a
// sample of plots, write every plot's starting locals and the control file.
#pragma once

namespace starter {

int run_starter(int argc, char** argv);

}  // namespace starter
