// Sets of models as help and messages name them, taken from the catalogue:
// runs of consecutive numbers, "1 to 13", "14 to 18", "1, 3 to 5".
#pragma once

#include <string>

namespace model {

// The models for which `which` holds.
std::string model_numbers(bool (*which)(int model));

// Every model, and the models with a fixed start and without one.
std::string all_models();
std::string fixed_start_models();
std::string free_start_models();

}  // namespace model
