#include "estimator/marginal_names.hpp"

#include "model/model_table.hpp"

namespace estimator {

std::vector<std::string> population_names(int model, int nl) {
  std::vector<std::string> names;
  for (const char* prefix : {"mean_", "sd_"})
    for (int l = 0; l < nl; ++l)
      names.push_back(prefix + std::string(model::model_names(model).locals[static_cast<std::size_t>(l)]));
  if (nl == 2) names.emplace_back("correlation");
  return names;
}

}  // namespace estimator
