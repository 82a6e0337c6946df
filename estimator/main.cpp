#include "estimator/run_control.hpp"
#include "io/errors.hpp"
#include "io/units.hpp"

int main(int argc, char** argv) {
  const int status = io::run_program("estimator", estimator::run_estimator, argc, argv);
  io::close_units();
  return status;
}
