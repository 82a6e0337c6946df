// The comparer's main sequence: every model of the list fitted from its
// self-start (several at a time, each in its own folder and processes), then
// the table sorted by AIC, printed and written as CSV.
#pragma once

namespace comparer {

int run_comparer(int argc, char** argv);

}  // namespace comparer
