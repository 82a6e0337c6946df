#include "io/errors.hpp"
#include "projector/run_projector.hpp"

int main(int argc, char** argv) { return io::run_program("projector", projector::run_projector, argc, argv); }
