#include "support/trace.hpp"

#include <cstdlib>
#include <sstream>

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t p = text.find('\n'); p != std::string::npos; p = text.find('\n', start)) {
    out.push_back(text.substr(start, p - start));
    start = p + 1;
  }
  return out;
}

namespace {

double field(const std::string& line, std::size_t start, std::size_t width) {
  return std::strtod(line.substr(start, width).c_str(), nullptr);
}

}  // namespace

Trace parse_trace(const std::string& console) {
  Trace t;
  const std::vector<std::string> lines = split_lines(console);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    if (l.rfind(" ALPHA = ", 0) == 0) {
      t.trials.push_back({field(l, 9, 11), {}});
    } else if (l.rfind("  ITER.", 0) == 0) {
      // "  ITER." I3 "   FUNCT.=" G18.11 "   NPD=" I3 "   NPD0=" I1 "   DMAX=" G11.5 "  GMAX=" G11.5 "   ALPHA=" G11.5
      IterationSummary s;
      s.iter = std::atoi(l.substr(7, 3).c_str());
      s.funct = field(l, 20, 18);
      s.npd = std::atoi(l.substr(45, 3).c_str());
      s.npd0 = std::atoi(l.substr(56, 1).c_str());
      s.dmax = field(l, 65, 11);
      s.gmax = field(l, 83, 11);
      s.alpha = field(l, 103, 11);
      const std::string& g = lines.at(i + 1);
      for (std::size_t p = 27; p + 18 <= g.size(); p += 18) s.globals.push_back(field(g, p, 18));
      t.summaries.push_back(s);
    } else if (l == " *****  WARNING! MATRIX NEAR SINGULAR  *****") {
      ++t.warnings;
    } else if (!t.trials.empty() && l.size() > 17 && l[0] == ' ' && l.rfind("     PLOT", 0) != 0 &&
               l.find("GLOBAL PARMS") == std::string::npos && t.summaries.size() < t.trials.size()) {
      t.trials.back().plot_lines.push_back(l);
    }
  }
  return t;
}
