// simulate: writes a raw data file simulated from the growth model, with the
// matching preparer answers and estimator control file.
//
//   simulate --prefix P --plots N --model M --globals g1,g2,... --locals m1:s1,...
//            [--measurements 10] [--max-measurements N] [--first-age 1] [--spacing 2] [--seed 1]
//            [--k1 1] [--k2 1] [--mfreq 0] [--itlim 50] [--tol 1e-8]
//            [--truth-ages t1,t2,...]
//
// Writes P.txt (raw data), P.answers and P.ctl; with --truth-ages also
// P.truth (identifier, age, true height at each truth age) and P.locals
// (identifier and the plot's drawn locals: a parameter text file).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "bench/simulation.hpp"

namespace {

std::vector<double> numbers(const std::string& list) {
  std::vector<double> v;
  std::stringstream s(list);
  for (std::string item; std::getline(s, item, ',');) v.push_back(std::stod(item));
  return v;
}

[[noreturn]] void usage(const char* why) {
  std::fprintf(
      stderr,
      "simulate: %s\nusage: simulate --prefix P --plots N --model M --globals g1,... --locals mean:sd,...\n"
      "       [--measurements n] [--max-measurements n] [--first-age t] [--spacing d] [--seed s] [--k1 x] [--k2 x]\n"
      "       [--mfreq n] [--itlim n] [--tol x] [--truth-ages t1,...]\n",
      why);
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  bench::SimulationSettings settings;
  std::string prefix;
  for (int i = 1; i < argc; ++i) {
    const std::string key = argv[i];
    if (i + 1 >= argc) usage(("no value after " + key).c_str());
    const std::string value = argv[++i];
    if (key == "--prefix")
      prefix = value;
    else if (key == "--plots")
      settings.plots = std::stoll(value);
    else if (key == "--model")
      settings.model = std::stoi(value);
    else if (key == "--globals")
      settings.globals = numbers(value);
    else if (key == "--locals") {
      std::stringstream s(value);
      for (std::string item; std::getline(s, item, ',');) {
        const auto colon = item.find(':');
        if (colon == std::string::npos) usage("--locals takes mean:sd pairs");
        settings.locals.push_back({std::stod(item.substr(0, colon)), std::stod(item.substr(colon + 1))});
      }
    } else if (key == "--measurements")
      settings.measurements = std::stoi(value);
    else if (key == "--max-measurements")
      settings.max_measurements = std::stoi(value);
    else if (key == "--first-age")
      settings.first_age = std::stod(value);
    else if (key == "--spacing")
      settings.spacing = std::stod(value);
    else if (key == "--seed")
      settings.seed = std::stoull(value);
    else if (key == "--k1")
      settings.k1 = std::stod(value);
    else if (key == "--k2")
      settings.k2 = std::stod(value);
    else if (key == "--mfreq")
      settings.mfreq = std::stoi(value);
    else if (key == "--itlim")
      settings.itlim = std::stoi(value);
    else if (key == "--tol")
      settings.tol = std::stod(value);
    else if (key == "--truth-ages")
      settings.truth_ages = numbers(value);
    else
      usage(("unknown option " + key).c_str());
  }
  if (prefix.empty()) usage("--prefix is required");
  try {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> raw(std::fopen((prefix + ".txt").c_str(), "w"), std::fclose);
    if (!raw) usage("cannot write the raw data file");
    static char buffer[1 << 20];
    std::setvbuf(raw.get(), buffer, _IOFBF, sizeof buffer);
    using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
    File heights(nullptr, std::fclose), locals(nullptr, std::fclose);
    if (!settings.truth_ages.empty()) {
      heights.reset(std::fopen((prefix + ".truth").c_str(), "w"));
      locals.reset(std::fopen((prefix + ".locals").c_str(), "w"));
      if (!heights || !locals) usage("cannot write the truth files");
    }
    bench::write_raw_data(settings, raw.get(), {heights.get(), locals.get()});
    std::ofstream(prefix + ".answers") << bench::preparer_answers(settings);
    std::ofstream(prefix + ".ctl") << bench::control_file(settings);
  } catch (const std::exception& e) {
    usage(e.what());
  }
  return 0;
}
