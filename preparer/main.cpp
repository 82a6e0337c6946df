#include "io/errors.hpp"
#include "io/units.hpp"
#include "preparer/run_preparer.hpp"

int main(int argc, char** argv) {
  const int status = io::run_program("preparer", preparer::run_preparer, argc, argv);
  io::close_units();
  return status;
}
