// Access to the two plot files of the estimator.
//
// read_plot: the next plot of the data file (rewound when plot 1 is asked
//        for); its identifier must match the one of the plot's record.
// get/put: record `iplot` of the local-parameter file: identifier, locals,
//        work block ((ng+1) x nl, column by column) and packed local factor.
#pragma once

#include <cstdint>

#include "common/plot_file_readers.hpp"
#include "estimator/shared_records.hpp"

namespace estimator {

// What is wrong with a plot of the data file, if anything: ok, wrong_id or
// wrong_count (a file that ends early fails here); refuse_plot writes the
// message and stops the run.
common::PlotStatus read_plot(io::SequentialReader& data, int iplot, std::int32_t record_id, common::Plot& plot);
[[noreturn]] void refuse_plot(common::PlotStatus status, int iplot, const common::Plot& plot);

// read_plot that stops the run on a wrong plot.
void rdata(io::SequentialReader& data, int iplot, std::int32_t record_id, common::Plot& plot);

// Returns the record's plot identifier.
std::int32_t get(const Files& files, const Sizes& sizes, int iplot, model::Locals& locals, WorkBlock& block,
                 LocalFactor& lfactor);
void put(const Files& files, const Sizes& sizes, int iplot, std::int32_t id, const model::Locals& locals,
         const WorkBlock& block, const LocalFactor& lfactor);
// A record's fields from its bytes (returns the plot identifier), and into
// them: the used part of the record is rewritten whole, the rest stays.
std::int32_t decode_record(const Sizes& sizes, const unsigned char* record, model::Locals& locals, WorkBlock& block,
                           LocalFactor& lfactor);
void encode_record(const Sizes& sizes, std::int32_t id, const model::Locals& locals, const WorkBlock& block,
                   const LocalFactor& lfactor, unsigned char* record);

}  // namespace estimator
