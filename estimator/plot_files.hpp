// Access to the two plot files of the estimator.
//
// rdata: the next plot of the data file (rewound when plot 1 is asked for);
//        the identifier must match the one `get` stored for the same plot.
// get/put: record `iplot` of the local-parameter file: locals, work block
//        ((ng+1) x nl, column by column) and packed local factor.
// setpf/savepf: called around the optimiser; they have nothing to do.
#pragma once

#include "estimator/shared_records.hpp"

namespace estimator {

void rdata(int iplot, int& id, int& n, Measurements& ages, Measurements& heights);

// rdata without the console: reads the plot and tells what is wrong with it;
// refuse_plot then writes the message rdata would write and stops the run.
enum class PlotCheck { ok, wrong_id, wrong_count };
PlotCheck read_plot(int iplot, int& id, int& n, Measurements& ages, Measurements& heights);
[[noreturn]] void refuse_plot(PlotCheck check, int iplot, int id, int n);

// Writes out changed local-parameter records kept in memory.
void flush_records();
void get(int iplot, Locals& locals, WorkBlock& block, LocalFactor& lfactor);
void put(int iplot, const Locals& locals, const WorkBlock& block, const LocalFactor& lfactor);
void setpf();
void savepf();

}  // namespace estimator
