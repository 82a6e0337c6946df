#include "fuzz_support.hpp"

#include "estimator/run_control.hpp"
#include "io/errors.hpp"

namespace fuzz {

void run_estimator(const std::string& control, const std::string& data, const std::string& locals) {
  std::string report = scratch("report");
  char* argv[] = {const_cast<char*>("estimator"),
                  const_cast<char*>(control.c_str()),
                  const_cast<char*>(data.c_str()),
                  const_cast<char*>(locals.c_str()),
                  report.data(),
                  nullptr};
  try {
    estimator::run_estimator(5, argv);
  } catch (const io::Stop&) {
  } catch (const io::IoError&) {
  }
}

}  // namespace fuzz
