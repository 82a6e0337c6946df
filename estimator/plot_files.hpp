// Access to the two plot files of the estimator.
//
// read_plot: the next plot of the data file (rewound when plot 1 is asked
//        for); its identifier must match the one of the plot's record.
// get/put: record `iplot` of the local-parameter file: identifier, locals,
//        work block ((ng+1) x nl, column by column) and packed local factor.
#pragma once

#include <cstdint>

#include "estimator/shared_records.hpp"

namespace estimator {

struct PlotData {
  std::int32_t id = 0;
  int n = 0;
  model::Measurements ages;
  model::Measurements heights;
};

// What is wrong with a plot of the data file, if anything; refuse_plot writes
// the message and stops the run.
enum class PlotCheck { ok, wrong_id, wrong_count };
PlotCheck read_plot(io::SequentialReader& data, int iplot, std::int32_t record_id, PlotData& plot);
[[noreturn]] void refuse_plot(PlotCheck check, int iplot, const PlotData& plot);

// read_plot that stops the run on a wrong plot.
void rdata(io::SequentialReader& data, int iplot, std::int32_t record_id, PlotData& plot);

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
