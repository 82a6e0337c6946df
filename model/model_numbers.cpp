#include "model/model_numbers.hpp"

#include "model/catalogue.hpp"

namespace model {

std::string model_numbers(bool (*which)(int model)) {
  std::string text;
  for (int m = 1; m <= kModelCount; ++m) {
    if (!which(m) || (m > 1 && which(m - 1))) continue;
    int last = m;
    while (last < kModelCount && which(last + 1)) ++last;
    text += (text.empty() ? "" : ", ") + std::to_string(m) + (last > m ? " to " + std::to_string(last) : "");
  }
  return text;
}

std::string all_models() { return model_numbers(valid_model); }
std::string fixed_start_models() { return model_numbers(fixed_start); }
std::string free_start_models() {
  return model_numbers([](int m) { return !fixed_start(m); });
}

}  // namespace model
