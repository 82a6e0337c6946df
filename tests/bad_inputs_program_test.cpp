// One case for every row of docs/bad-inputs.md: the status and the message
// each bad input gets, and that nothing is rewritten or left half-written.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "common/limits.hpp"
#include "common/plot_file_writers.hpp"
#include "io/byte_order.hpp"
#include "model/catalogue.hpp"
#include "support/fit_problem.hpp"
#include "support/plot_records.hpp"
#include "support/program.hpp"

namespace {

struct Case {
  const char* row;
  std::function<ProgramResult(const TempDir&)> run;
  int status;
  std::string message;  // expected in the console or the error stream
};

std::vector<TestPlot> plots() { return simulate_model1(41, 6, 6, {0.15, 0.7, 0.2, 0.05}, 3.0, 0.3, 2.9); }

ControlSettings settings() {
  ControlSettings s;
  s.globals = {0.15, 0.7, 0.2, 0.05};
  s.itlim = 3;
  s.mfreq = 0;
  return s;
}

// A valid problem, changed by `change` (files by name) before the run.
ProgramResult estimator_with(const TempDir& dir, const std::function<void(FitFiles&, ControlSettings&)>& change,
                             const std::vector<TestPlot>& p = plots()) {
  ControlSettings s = settings();
  FitFiles f = write_fit_problem(dir, p, s);
  change(f, s);
  return run_estimator(f.args());
}

void rewrite_control(const TempDir& dir, const std::string& text) { dir.write("fit.ctl", text); }

std::vector<unsigned char> cut(const std::string& path, std::size_t size) {
  std::vector<unsigned char> b = read_bytes(path);
  b.resize(size);
  return b;
}

const std::string kAnswers = "1 1 1 1 0 0 0\n0\n3\n";

ProgramResult preparer_with(const TempDir& dir, const std::string& raw, const std::string& answers,
                            const std::vector<std::string>& extra = {}) {
  std::vector<std::string> args = {dir.write("raw.txt", raw), dir / "out.dat", dir / "out.loc"};
  args.insert(args.end(), extra.begin(), extra.end());
  return run_preparer(args, answers);
}

const std::vector<Case>& cases() {
  static const std::vector<Case> all = {
      {"E1",
       [](const TempDir& d) {
         const FitFiles f = write_fit_problem(d, plots(), settings());
         return run_estimator({f.control, f.data});
       },
       2, "estimator: missing argument 3: the local-parameter file"},
      {"E2",
       [](const TempDir& d) {
         return run_estimator({d / "x.ctl", d / "b", d / "c", d / "r"});
       },
       2, "cannot open the control file '"},
      {"E3",
       [](const TempDir& d) { return estimator_with(d, [&](FitFiles&, ControlSettings&) { rewrite_control(d, ""); }); },
       2, "' is empty: its first line must be the title"},
      {"E4",
       [](const TempDir& d) {
         return estimator_with(d, [&](FitFiles&, ControlSettings&) { rewrite_control(d, "T\nfour 1 6\n"); });
       },
       2, "line 2: expected an integer for NG, the number of globals, found \"four\""},
      {"E5",
       [](const TempDir& d) {
         return estimator_with(d, [&](FitFiles&, ControlSettings&) { rewrite_control(d, "T\n4 1.0 6\n"); });
       },
       2, "line 2: expected an integer for NL, the number of locals, found \"1.0\""},
      {"E6",
       [](const TempDir& d) {
         return estimator_with(
             d, [&](FitFiles&, ControlSettings&) { rewrite_control(d, "T\n4 1 6\n1 1 1 1\n0 3 1e-8\n0.1 0.2 0.3\n"); });
       },
       2, "ends (after line 5) where a number for the starting value of global 4 was expected"},
      {"E7",
       [](const TempDir& d) {
         return estimator_with(d, [&](FitFiles&, ControlSettings& s) {
           s.nl = 7;
           rewrite_control(d, control_text(s, 6));
         });
       },
       1, " *** Error, more than 6 locals ***\n"},
      {"E8",
       [](const TempDir& d) {
         return estimator_with(d, [&](FitFiles&, ControlSettings& s) {
           s.ng = 0;
           s.globals.clear();
           rewrite_control(d, control_text(s, 6));
         });
       },
       1, "estimator: NG = 0 in control file "},
      {"E9",
       [](const TempDir& d) {
         return estimator_with(d, [&](FitFiles&, ControlSettings& s) {
           s.model = 13;
           rewrite_control(d, control_text(s, 6));
         });
       },
       1, "estimator: model 13 takes 3 globals and 2 locals, but control file "},
      {"E10",
       [](const TempDir& d) {
         return estimator_with(d, [&](FitFiles&, ControlSettings& s) {
           s.model = model::kModelCount + 1;  // the first number after the catalogue's
           rewrite_control(d, control_text(s, 6));
         });
       },
       1,
       "MONITOR OUTPUT\n\n ALPHA =  0.0000    \n     PLOT   N      FUNCTION                LOCAL PARAMETERS\n  Model "
       "number error! \n"},
      {"E11",
       [](const TempDir& d) {
         return estimator_with(d, [&](FitFiles& f, ControlSettings&) { f.data = d / "none.dat"; });
       },
       2, "cannot open the data file '"},
      {"E12",
       [](const TempDir& d) {
         return estimator_with(d, [&](FitFiles& f, ControlSettings&) { f.report = d / "no/such/x.rep"; });
       },
       2, "cannot create the report file '"},
      {"E23",
       [](const TempDir& d) { return estimator_with(d, [&](FitFiles& f, ControlSettings&) { f.report = f.control; }); },
       2, "estimator: the report file '"},
      {"E24",
       [](const TempDir& d) {
         const FitFiles f = write_fit_problem(d, plots(), settings());
         d.write("fit.dat.meta.json", "{\"program\": \"preparer\", \"age_scale\": 10}");
         std::vector<std::string> args = f.args();
         args.insert(args.end(), {"--json", d / "fit.json"});
         return run_estimator(args);
       },
       2, "fit.dat.meta.json': \"/height_scale\" is missing"},
      {"E13",
       [](const TempDir& d) {
         return estimator_with(d, [&](FitFiles& f, ControlSettings&) { d.write_bytes("fit.dat", cut(f.data, 180)); });
       },
       2, "ends in the middle of the record that starts at byte 136 (in its payload)"},
      {"E14",
       [](const TempDir& d) {
         return estimator_with(
             d, [&](FitFiles&, ControlSettings&) { d.write_bytes("fit.dat", std::vector<unsigned char>(64, 0xff)); });
       },
       2, "the record at byte 0 has a negative length -1"},
      {"E15",
       [](const TempDir& d) {
         return estimator_with(d, [&](FitFiles& f, ControlSettings&) {
           std::vector<unsigned char> b = read_bytes(f.data);
           io::store_i32(&b[120 + 8], 120);  // the count of plot 2
           d.write_bytes("fit.dat", b);
         });
       },
       1, "estimator: plot 2 (ID 1001) of the data file has 120 measurements; a plot must have 1 to 99\n"},
      {"E16",
       [](const TempDir& d) {
         return estimator_with(d, [&](FitFiles& f, ControlSettings&) {
           std::vector<unsigned char> b = read_bytes(f.locals);
           common::encode_record_id(77, record_bytes(b, 4));
           d.write_bytes("fit.loc", b);
         });
       },
       1, " *** RDATA: Bad plot ID, should not happen  ***\n"},
      {"E17",
       [](const TempDir& d) {
         return estimator_with(d, [&](FitFiles&, ControlSettings& s) { rewrite_control(d, control_text(s, 7)); });
       },
       2, "record 7 was asked for, but the file holds only 6 records of 748 bytes"},
      {"E18",
       [](const TempDir& d) {
         return estimator_with(d, [&](FitFiles& f, ControlSettings& s) {
           rewrite_control(d, control_text(s, 7));
           std::vector<unsigned char> b = read_bytes(f.locals);
           b.resize(7 * common::kRecordLength, 0);
           d.write_bytes("fit.loc", b);
         });
       },
       2, "ends before plot 7: the number of plots in the control file is larger than the number of plots in the file"},
      {"E19",
       [](const TempDir& d) {
         return estimator_with(d, [&](FitFiles&, ControlSettings& s) {
           s.globals = {0.15, 0.7, 0.0, 0.0};
           rewrite_control(d, control_text(s, 6));
         });
       },
       1, "estimator: the objective at the starting values is not finite: plot 1 (ID 1000) gives"},
      {"E20",
       [](const TempDir& d) {
         std::vector<TestPlot> p = plots();
         p[4].heights[2] = -1.0;
         return estimator_with(
             d, [&](FitFiles&, ControlSettings&) {}, p);
       },
       1, "estimator: the objective at the starting values is not finite: plot 5 (ID 1004) gives nan."},
      {"E21",
       [](const TempDir& d) {
         return estimator_with(d, [&](FitFiles& f, ControlSettings&) {
           d.write_bytes("fit.loc", cut(f.locals, 5 * common::kRecordLength + 12));
         });
       },
       0, " NUMBER OF PLOTS:   6"},
      {"E22",
       [](const TempDir& d) {
         return estimator_with(d, [&](FitFiles&, ControlSettings& s) { rewrite_control(d, control_text(s, 4)); });
       },
       0, " NUMBER OF PLOTS:   4"},
      {"P1",
       [](const TempDir& d) {
         return run_preparer({d / "raw.txt", d / "o.dat", d / "o.loc"}, kAnswers);
       },
       2, "preparer: cannot open the raw data file '"},
      {"P2", [](const TempDir& d) { return preparer_with(d, "1 1 1\n", "one 1 1 1 0 0 0\n"); }, 2,
       "preparer: standard input, line 1: expected an integer for the number of locals, found \"one\""},
      {"P3", [](const TempDir& d) { return preparer_with(d, "1 1 1\n", "1 1 1\n"); }, 2,
       "preparer: standard input ends (after line 1) where a number for the height scale was expected"},
      {"P4", [](const TempDir& d) { return preparer_with(d, "1 1 1\n", "9 1 1 1 0 0 0\n"); }, 1,
       " *** ERROR:  Too many locals\n"},
      {"P5", [](const TempDir& d) { return preparer_with(d, "1 1 1\n", "1 1 0 1 0 0 0\n"); }, 1,
       "preparer: the age scale must be greater than 0; the answer was 0\n"},
      {"P6", [](const TempDir& d) { return preparer_with(d, "1 1 1\n", "1 1 1 1 3 0 4\n"); }, 1,
       "preparer: plot ID column 4 is outside the 3 columns of the parameter file\n"},
      {"P7", [](const TempDir& d) { return preparer_with(d, "11 1 1\n11 2 2\n12.0 3 3\n", kAnswers); }, 1,
       " *** ERROR reading data file at plot        11\n"},
      {"P8", [](const TempDir& d) { return preparer_with(d, "6 3 1\n6 2.5 1\n", kAnswers); }, 1,
       " *** ERROR:  Decreasing age in plot         6\n"},
      {"P9",
       [](const TempDir& d) {
         std::string raw;
         for (int i = 0; i < 100; ++i) raw += "8 " + std::to_string(i) + " 1\n";
         return preparer_with(d, raw, kAnswers);
       },
       1, " *** ERROR:  More than 99 measurements in plot         8\n"},
      {"P10", [](const TempDir& d) { return preparer_with(d, "1 1 1\n2 1 0\n", kAnswers); }, 1,
       "', line 2: the height of plot 2 is 0; heights must be greater than 0\n"},
      {"P17", [](const TempDir& d) { return preparer_with(d, "1 1 1\n1 2 1e300\n", kAnswers); }, 1,
       "', line 2: the height of plot 1 is 1.0000000000000001e+300 (1.0000000000000001e+300 scaled); scaled heights "
       "must lie between 1e-30 and 1e+30, beyond which their powers in the growth law overflow"},
      {"P18", [](const TempDir& d) { return preparer_with(d, "1 1 1\n1 1e40 2\n", kAnswers); }, 1,
       "', line 2: the age of plot 1 is 1e+40 (1e+40 scaled); scaled ages must lie within"},
      {"P11", [](const TempDir& d) { return preparer_with(d, "1 1 1\n", "1 1 1 1 3 0 2\n3\n0\n", {d / "p.txt"}); }, 2,
       "preparer: cannot open the parameter text file '"},
      {"P12",
       [](const TempDir& d) {
         return preparer_with(d, "21 1 1\n22 1 1\n", "1 1 1 1 3 0 2\n3\n0\n", {d.write("p.txt", "1 21 1\n")});
       },
       1, " *** ERROR reading local parameters file for       22\n"},
      {"P13",
       [](const TempDir& d) {
         return preparer_with(d, "21 1 1\n22 1 1\n", "1 1 1 1 3 0 2\n3\n0\n", {d.write("p.txt", "1 21 1\n1 25 1\n")});
       },
       1, " *** ERROR:  Plot ID mistmatch between data and local parameters files:        22        25\n"},
      {"P14",
       [](const TempDir& d) {
         return run_preparer({d.write("raw.txt", "1 1 1\n"), d / "no/such/x.dat", d / "x.loc"}, kAnswers);
       },
       2, "preparer: cannot create the data file '"},
      {"P15", [](const TempDir& d) { return preparer_with(d, "", kAnswers); }, 0, " Using        0 plots\n"},
      {"P16",
       [](const TempDir& d) {
         const std::string raw = d.write("raw.txt", "1 1 1\n");
         std::filesystem::create_symlink(raw, d / "x.loc");
         return run_preparer({raw, d / "x.dat", d / "x.loc"}, kAnswers);
       },
       2, "preparer: the local-parameter file '"},
  };
  return all;
}

class BadInput : public ::testing::TestWithParam<std::size_t> {};

TEST_P(BadInput, GetsItsStatusAndMessage) {
  const Case& c = cases()[GetParam()];
  TempDir dir;
  const ProgramResult r = c.run(dir);
  EXPECT_EQ(r.status, c.status) << c.row << "\n" << r.out << r.err;
  // The programs' own texts go to the console (free-form lines start with a
  // blank); diagnostics go to the error stream.
  const bool diagnostic = c.status == 2 || (c.message[0] != ' ' && c.message.rfind("MONITOR", 0) != 0);
  const std::string& where = diagnostic ? r.err : r.out;
  if (diagnostic && c.status == 1) {
    EXPECT_EQ(r.out.find(" *** "), std::string::npos) << c.row << ": console " << r.out;
  }
  if (c.row[0] == 'E' && c.status != 0) {
    EXPECT_FALSE(std::filesystem::exists(dir / "fit.rep")) << c.row << ": no report";
  }
  if (c.row == std::string("E21") || c.row == std::string("E22")) {
    EXPECT_NE(read_text(dir / "fit.rep").find(c.message), std::string::npos) << c.row;
  } else {
    EXPECT_NE(where.find(c.message), std::string::npos) << c.row << ": [" << where << "]";
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInput, ::testing::Range<std::size_t>(0, 42),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                           return std::string(cases()[info.param].row);
                         });

TEST(BadInputTable, EveryRowHasACase) { EXPECT_EQ(cases().size(), 42u); }

// Row E24 for values of the wrong JSON type, as the estimator (with --json)
// and the starter read the metadata: each is refused by name with status 2,
// never by an uncaught JSON type error.
TEST(BadInputTable, MetadataOfTheWrongTypeIsRefusedByName) {
  const std::string rest = R"("raw_file": "r.txt", "age_scale": 1, "height_scale": 1, "plots": 6, "measurements": 36)";
  const std::vector<std::pair<std::string, std::string>> files = {
      {R"({"program": 10, )" + rest + "}", "is not a metadata file of preparer"},
      {R"({"program": ["preparer"], )" + rest + "}", "is not a metadata file of preparer"},
      {"[\"preparer\"]", "is not a metadata file of preparer"},
      {R"({"program": "preparer", "age_scale": "1"})", "\"/age_scale\" should be a number"},
      {R"({"program": "preparer", "raw_file": 3, "age_scale": 1, "height_scale": 1})", "\"/raw_file\" should be a string"},
      {R"({"program": "preparer", "raw_file": "r", "age_scale": 1, "height_scale": 1, "plots": 1.5})",
       "\"/plots\" should be an integer"},
      {R"({"program": "preparer", )" + rest + R"(, "data_fingerprint": 12})", "\"/data_fingerprint\" should be a string"},
  };
  for (const auto& [text, message] : files) {
    SCOPED_TRACE(text);
    TempDir dir;
    const FitFiles f = write_fit_problem(dir, plots(), settings());
    dir.write("fit.dat.meta.json", text);
    std::vector<std::string> args = f.args();
    args.insert(args.end(), {"--json", dir / "fit.json"});
    const ProgramResult fitted = run_estimator(args);
    EXPECT_EQ(fitted.status, 2) << fitted.err;
    EXPECT_NE(fitted.err.find("fit.dat.meta.json"), std::string::npos) << fitted.err;
    EXPECT_NE(fitted.err.find(message), std::string::npos) << fitted.err;
    const ProgramResult started =
        run_program(STARTER_PATH, {f.data, f.locals, dir / "s.ctl", "--model", "1"});
    EXPECT_EQ(started.status, 2) << started.err;
    EXPECT_NE(started.err.find(message), std::string::npos) << started.err;
  }
}

// A run that stops on bad input rewrites no local-parameter record.
TEST(BadInputTable, StoppedRunsLeaveTheLocalParameterFileAsItWas) {
  for (const char* row : {"E13", "E15", "E16", "E17", "E19", "E20"}) {
    TempDir dir;
    const Case* c = nullptr;
    for (const Case& k : cases())
      if (k.row == std::string(row)) c = &k;
    ASSERT_NE(c, nullptr);
    // Run once to let the case change the files, then compare with a run on copies.
    c->run(dir);
    const std::vector<unsigned char> before = read_bytes(dir / "fit.loc");
    const ProgramResult again = run_estimator({dir / "fit.ctl", dir / "fit.dat", dir / "fit.loc", dir / "fit.rep"});
    EXPECT_NE(again.status, 0) << row;
    EXPECT_EQ(read_bytes(dir / "fit.loc"), before) << row;
  }
}

}  // namespace
