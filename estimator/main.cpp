#include "estimator/run_control.hpp"
#include "io/errors.hpp"

int main(int argc, char** argv) { return io::run_program("estimator", estimator::run_estimator, argc, argv); }
