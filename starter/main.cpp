#include "io/errors.hpp"
#include "starter/run_starter.hpp"

int main(int argc, char** argv) { return io::run_program("starter", starter::run_starter, argc, argv); }
