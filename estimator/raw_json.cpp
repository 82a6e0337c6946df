#include "estimator/raw_json.hpp"

#include <cmath>

#include "model/model_table.hpp"

namespace estimator {
namespace {

using json_values::Json;
using json_values::number;

model::Scales scales_of(const common::DataMetadata& m) { return {m.age_scale, m.height_scale}; }

// sqrt(g' S g), S = diag(se) R diag(se); terms of a zero gradient component left out.
double standard_error(const model::RawGlobal& raw, const RawEstimates& e, int ng) {
  double variance = 0.0;
  for (int j = 0; j < ng; ++j) {
    const double gj = raw.gradient[static_cast<std::size_t>(j)];
    if (gj == 0.0) continue;
    for (int k = 0; k < ng; ++k) {
      const double gk = raw.gradient[static_cast<std::size_t>(k)];
      if (gk == 0.0) continue;
      const double r = j == k ? 1.0 : e.correlations[j * e.leading + k];
      variance += gj * gk * e.standard_errors[j] * e.standard_errors[k] * r;
    }
  }
  return std::sqrt(variance);
}

// The local a summary's name is about: "a", "mean_a" or "sd_a" give a.
model::Role local_role(const std::string& name) {
  for (const char* prefix : {"mean_", "sd_"})
    if (name.rfind(prefix, 0) == 0) return model::role_named(name.substr(std::string(prefix).size()));
  return model::role_named(name);
}

}  // namespace

const common::DataMetadata* describing(const std::optional<common::DataMetadata>& metadata,
                                       const std::string& data_path, const std::string& fingerprint) {
  return common::describing(metadata, data_path, fingerprint, "estimator", "the results file gives no scales");
}

void add_raw_units(Json& j, const common::DataMetadata* metadata, const std::string& data_path, int model,
                   const RawEstimates& e) {
  if (metadata == nullptr) return;
  j["data_scales"] = {{"age_scale", number(metadata->age_scale)},
                      {"height_scale", number(metadata->height_scale)},
                      {"metadata", common::metadata_path(data_path)}};
  const int ng = model::model_counts(model).ng;
  Json units = Json::array(), estimates = Json::array(), errors = Json::array();
  for (int i = 0; i < ng; ++i) {
    const model::RawGlobal raw = model::raw_global(model, i, e.estimates, scales_of(*metadata));
    units.push_back(std::string(raw.unit));
    estimates.push_back(number(raw.value));
    errors.push_back(number(standard_error(raw, e, ng)));
  }
  j["raw_globals"] = {{"names", json_values::names_of(model, true)},
                      {"units", units},
                      {"estimates", estimates},
                      {"standard_errors", errors}};
}

void add_raw_locals(Json& j, const common::DataMetadata* metadata, const char* locals_key, const Json& names,
                    const double* estimates, const double* standard_errors) {
  if (metadata == nullptr) return;
  Json units = Json::array(), values = Json::array(), errors = Json::array();
  for (std::size_t k = 0; k < names.size(); ++k) {
    const model::Role role = local_role(names[k].get<std::string>());
    const double factor = model::raw_factor(role, scales_of(*metadata)).value_or(1.0);
    units.push_back(std::string(model::raw_unit_name(role)));
    values.push_back(number(factor * estimates[k]));
    errors.push_back(number(factor * standard_errors[k]));
  }
  j[locals_key] = {{"names", names}, {"units", units}, {"estimates", values}, {"standard_errors", errors}};
}

}  // namespace estimator
