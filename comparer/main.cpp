#include "comparer/run_comparer.hpp"
#include "io/errors.hpp"

int main(int argc, char** argv) { return io::run_program("comparer", comparer::run_comparer, argc, argv); }
