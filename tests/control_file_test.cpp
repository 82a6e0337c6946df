// The control file's writer and reader agree: what is written is read back
// value for value, notes and all.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "common/control_file_reader.hpp"
#include "common/control_file_writer.hpp"
#include "support/temp_dir.hpp"

namespace {

common::ControlFile read_back(const std::string& path) {
  io::FreeFormReader in(path, "control file");
  common::ControlFile control;
  common::read_title_and_sizes(in, control);
  common::read_starting_globals(in, control);
  common::read_model(in, control);
  return control;
}

TEST(ControlFile, WhatIsWrittenIsReadBackValueForValue) {
  TempDir dir;
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-300, 300);
  for (int trial = 0; trial < 20; ++trial) {
    common::ControlFile c;
    c.title = std::string(trial % 2 ? 95 : 12, static_cast<char>('A' + trial));
    c.ng = 1 + trial % common::kMaxGlobals;
    c.nl = 1 + trial % common::kMaxLocals;
    c.np = 1000 * trial + 1;
    c.unit_values = {trial, 2, 3, 4};
    c.mfreq = trial % 3;
    c.itlim = 10 + trial;
    auto random_real = [&] { return std::ldexp(mantissa(rng), exponent(rng)); };
    c.tol = std::fabs(random_real());
    for (int i = 0; i < c.ng; ++i) c.globals[static_cast<std::size_t>(i)] = random_real();
    c.model = 1 + trial;
    c.k1 = random_real();
    c.k2 = random_real();
    const common::ControlStyle style{17, trial % 2 ? "    starting b, c" : "", trial % 2 ? "    model line" : ""};
    const common::ControlFile r = read_back(dir.write("c.ctl", common::control_text(c, style)));
    SCOPED_TRACE("trial " + std::to_string(trial));
    EXPECT_EQ(r.title, (c.title + std::string(80, ' ')).substr(0, 80)) << "cut or padded to 80 characters";
    EXPECT_EQ(r.ng, c.ng);
    EXPECT_EQ(r.nl, c.nl);
    EXPECT_EQ(r.np, c.np);
    EXPECT_EQ(r.unit_values, c.unit_values);
    EXPECT_EQ(r.mfreq, c.mfreq);
    EXPECT_EQ(r.itlim, c.itlim);
    EXPECT_EQ(r.tol, c.tol);
    EXPECT_EQ(r.globals, c.globals);
    EXPECT_EQ(r.model, c.model);
    EXPECT_EQ(r.k1, c.k1);
    EXPECT_EQ(r.k2, c.k2);
  }
}

}  // namespace
