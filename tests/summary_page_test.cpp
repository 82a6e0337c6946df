// The summary page as a person sees it: the loblolly models compared, the
// best one's page written by the projector, rendered by headless Chromium.
// The screenshot must show the page (not blank, the figures' measured points
// drawn), and the text of the page as the browser parsed it must hold the
// estimates of the results file, in raw units where the page says so.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/results_reader.hpp"
#include "support/png_image.hpp"
#include "support/program.hpp"
#include "support/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;

ProgramResult chromium(const TempDir& dir, const std::vector<std::string>& what, const std::string& page) {
  std::vector<std::string> args = {"--headless",
                                   "--no-sandbox",
                                   "--disable-gpu",
                                   "--disable-quic",
                                   "--no-first-run",
                                   "--disable-background-networking",
                                   "--disable-component-update",
                                   "--disable-sync",
                                   "--user-data-dir=" + (dir / "profile-") + std::to_string(what.size())};
  args.insert(args.end(), what.begin(), what.end());
  args.push_back("file://" + page);
  return run_program(CHROMIUM_PATH, args, "", dir / "");
}

// The cells of one row of a table of the DOM: the row whose first cell is `name`.
std::vector<std::string> row_cells(const std::string& dom, const std::string& table, const std::string& name) {
  const std::size_t start = dom.find("<table id=\"" + table + "\">");
  const std::size_t end = dom.find("</table>", start);
  const std::size_t row = dom.find("<td class=\"name\">" + name + "</td>", start);
  std::vector<std::string> cells;
  if (start == std::string::npos || row == std::string::npos || row > end) return cells;
  const std::size_t row_end = dom.find("</tr>", row);
  for (std::size_t at = dom.find("<td", row); at < row_end; at = dom.find("<td", at + 1)) {
    const std::size_t open = dom.find('>', at) + 1;
    cells.push_back(dom.substr(open, dom.find("</td>", open) - open));
  }
  return cells;
}

TEST(SummaryPage, ChromiumShowsThePageWithTheEstimatesOfTheResultsFile) {
  TempDir dir;
  const std::string raw = (fs::path(GOLDEN_DIR) / "loblolly-model1" / "raw.txt").string();
  ASSERT_EQ(run_preparer({raw, dir / "lob.dat", dir / "lob.loc"}, "1 3 10 10 0 0 0\n0\n0\n").status, 0);
  const ProgramResult compared = run_program(
      COMPARER_PATH,
      {dir / "lob.dat", dir / "lob.loc", dir / "models", "--models", "1,7", "--k1", "10", "--k2", "10", "--jobs", "1"});
  ASSERT_EQ(compared.status, 0) << compared.err;
  const std::string page = dir / "page.html";
  const ProgramResult projected = run_program(
      PROJECTOR_PATH, {dir / "models/model-07/results.json", dir / "lob.dat", dir / "models/model-07/locals",
                       "--age-scale", "10", "--height-scale", "10", "--age-unit", "years", "--height-unit", "ft",
                       "--summary-page", page, "--comparison", dir / "models/comparison.csv"});
  ASSERT_EQ(projected.status, 0) << projected.err;
  for (const auto& entry : fs::directory_iterator(dir / ""))
    EXPECT_NE(entry.path().extension(), ".part") << "scratch figure left: " << entry.path();
  const std::string html = read_text(page);
  for (const char* external : {"src=", "href=", "<script", "@import"})
    EXPECT_EQ(html.find(external), std::string::npos) << external;

  const ProgramResult shot = chromium(dir, {"--window-size=1000,6000", "--screenshot=" + (dir / "page.png")}, page);
  ASSERT_EQ(shot.status, 0) << shot.err;
  const Image image = read_png(dir / "page.png");
  ASSERT_EQ(image.width, 1000);
  std::size_t inked = 0, red = 0;
  for (std::size_t k = 0; k + 2 < image.rgb.size(); k += 3) {
    const int r = image.rgb[k], g = image.rgb[k + 1], b = image.rgb[k + 2];
    inked += r + g + b < 600;
    red += r > 180 && g < 90 && b < 90;  // the measured heights of the plot figure
  }
  EXPECT_GT(inked, image.rgb.size() / 3 / 50) << "the page looks blank";
  EXPECT_GT(red, 500u) << "the plot figure's measured points are not drawn";

  const ProgramResult dom = chromium(dir, {"--dump-dom"}, page);
  ASSERT_EQ(dom.status, 0) << dom.err;
  const common::ResultsReader results(dir / "models/model-07/results.json");
  const nlohmann::json& globals = results.at("/globals");
  for (std::size_t k = 0; k < globals["names"].size(); ++k) {
    const std::string name = globals["names"][k];
    const double factor = name == "a" || name == "t0" ? 10.0 : 1.0;  // feet and years; the others scaled
    const std::vector<std::string> cells = row_cells(dom.out, "globals", name);
    ASSERT_EQ(cells.size(), 4u) << name;
    EXPECT_NEAR(std::stod(cells[1]), factor * globals["estimates"][k].get<double>(),
                1e-5 * std::fabs(factor * globals["estimates"][k].get<double>()))
        << name;
    EXPECT_NEAR(std::stod(cells[2]), factor * globals["standard_errors"][k].get<double>(),
                1e-5 * factor * globals["standard_errors"][k].get<double>())
        << name;
    EXPECT_EQ(cells[3], name == "a" ? "ft" : name == "t0" ? "years" : name == "c" ? "none" : "scaled units") << name;
  }
  const std::vector<std::string> ll = row_cells(dom.out, "fit", "log-likelihood");
  ASSERT_EQ(ll.size(), 2u);
  EXPECT_NEAR(std::stod(ll[1]), results.finite("/log_likelihood"), 1e-7);
  EXPECT_NE(dom.out.find("<tr class=\"chosen\"><td>7</td>"), std::string::npos) << "the comparison, model 7 marked";
  EXPECT_NE(dom.out.find("<tr><td>1</td>"), std::string::npos) << "model 1 in the comparison";
  EXPECT_EQ(row_cells(dom.out, "residuals", "innovations").at(1), "84");
  EXPECT_EQ(dom.out.find("id=\"clip1\""), std::string::npos) << "the drawings' identifiers are not made unique";
  std::size_t references = 0;
  for (std::size_t at = dom.out.find("url(#"); at != std::string::npos;
       at = dom.out.find("url(#", at + 1), ++references) {
    const std::string id = dom.out.substr(at + 5, dom.out.find(')', at) - at - 5);
    EXPECT_EQ(dom.out.find("id=\"" + id + "\"") != std::string::npos, true) << "clip path " << id << " is not defined";
  }
  EXPECT_GT(references, 16u);
}

}  // namespace
