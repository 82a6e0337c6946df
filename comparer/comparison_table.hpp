// The comparison table: one row per model, sorted by AIC (models without a
// finite AIC last, in model order), printed as aligned text and written as
// CSV with the columns
//   model,globals,locals,log_likelihood,parameters,aic,bic,outcome,iterations,seconds,flag
// (globals and locals: the names of the estimated parameters, separated by
// blanks).
#pragma once

#include <string>
#include <vector>

#include "comparer/model_row.hpp"
#include "io/text_writer.hpp"

namespace comparer {

void sort_by_aic(std::vector<ModelRow>& rows);
void print_table(const std::vector<ModelRow>& rows, std::FILE* out);
void write_table_csv(const std::vector<ModelRow>& rows, io::TextWriter& out);

}  // namespace comparer
