#include <cstdio>

#include "io/errors.hpp"
#include "preparer/run_preparer.hpp"

namespace {

int body(int argc, char** argv) {
  io::FreeFormReader answers(stdin, "standard input");
  return preparer::run_preparer(argc, argv, answers);
}

}  // namespace

int main(int argc, char** argv) { return io::run_program("preparer", body, argc, argv); }
