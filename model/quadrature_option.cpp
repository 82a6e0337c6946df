#include "model/quadrature_option.hpp"

#include <string>

#include "io/errors.hpp"
#include "io/option_values.hpp"
#include "model/marginal/quadrature_rule.hpp"

namespace model {

std::optional<int> quadrature_option(const io::CommandLine& line) {
  const auto option = line.option("--quadrature");
  if (!option) return std::nullopt;
  if (!line.flag("--random-locals")) line.wrong_call("--quadrature is an option of --random-locals");
  const std::optional<int> k = io::whole_integer(*option);
  if (!k || *k < 1 || *k > model::marginal::kMaxNodesPerLocal)
    line.wrong_call("--quadrature must be a number of nodes per local from 1 to " +
                    std::to_string(model::marginal::kMaxNodesPerLocal) + ", not " + io::quoted(*option));
  return k;
}

}  // namespace model
