#include "projector/summary_page.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "io/text_writer.hpp"
#include "projector/raw_units.hpp"

namespace projector {
namespace {

constexpr const char* kStyle =
    R"(body{font-family:"DejaVu Sans",Arial,Helvetica,sans-serif;margin:24px auto;max-width:900px;color:#111}
h1{font-size:22px}h2{font-size:17px;margin-top:28px;border-bottom:1px solid #ccc}
table{border-collapse:collapse;margin:8px 0}td,th{padding:3px 10px;border-bottom:1px solid #e4e4e4;text-align:right}
th{background:#f2f2f2}td.name,th.name{text-align:left}tr.chosen td{background:#fff3c4;font-weight:bold}
p.note{font-size:13px;color:#444}.warn{color:#a00000;font-weight:bold}figure{margin:16px 0}
figcaption{font-size:13px;color:#444}div.wide{overflow-x:auto}div.wide table{font-size:12px}
div.wide td{white-space:nowrap;padding:2px 6px})";

std::string g(double v, int digits = 6) {
  if (!std::isfinite(v)) return std::isnan(v) ? "NaN" : (v > 0 ? "Inf" : "-Inf");
  char text[40];
  std::snprintf(text, sizeof text, "%.*g", digits, v);
  return text;
}

std::string cell(const std::string& text, bool name = false) {
  return std::string(name ? "<td class=\"name\">" : "<td>") + html_text(text) + "</td>";
}

std::string units_text(const Units& u) { return "age scale " + g(u.age_scale) + ", height scale " + g(u.height_scale); }

void heading(io::TextWriter& out, const PageInput& p) {
  const PageResults& r = *p.results;
  out.put("<h1>" + html_text(r.title.empty() ? "growthfit fit" : r.title) + "</h1>\n");
  const bool converged = r.outcome == "converged";
  out.put("<p id=\"outcome\">Model " + std::to_string(r.model) + ": <span class=\"" + (converged ? "ok" : "warn") +
          "\">" + html_text(r.outcome) + "</span> after " + std::to_string(r.iterations) + " iterations" +
          (r.iteration_limit >= 0 ? " (limit " + std::to_string(r.iteration_limit) + ")" : std::string()) +
          (converged ? "."
                     : ": the estimates may not maximise the likelihood, and their standard errors and "
                       "correlations are not to be trusted.") +
          "</p>\n<table id=\"fit\">\n");
  const std::pair<const char*, std::string> facts[] = {
      {"plots", std::to_string(r.plots)},
      {"measurements", std::to_string(r.measurements)},
      {r.random_locals ? "marginal log-likelihood" : "log-likelihood", g(r.log_likelihood, 10)},
      {r.random_locals ? "parameters (globals + the locals' population)" : "parameters (globals + locals of every plot)",
       std::to_string(r.parameters)},
      {"AIC", g(r.aic, 10)},
      {"BIC", g(r.bic, 10)}};
  for (const auto& [name, value] : facts) out.put("<tr>" + cell(name, true) + cell(value) + "</tr>\n");
  out.put("</table>\n");
}

void estimates(io::TextWriter& out, const PageInput& p, const EstimateTable& t, const std::string& id) {
  out.put("<table id=\"" + id +
          "\">\n<tr><th class=\"name\">parameter</th><th>estimate</th><th>standard error</th><th "
          "class=\"name\">unit</th></tr>\n");
  for (std::size_t k = 0; k < t.names.size(); ++k) {
    // A population's mean_a and sd_a are in the units of a.
    std::string_view name = t.names[k];
    for (std::string_view prefix : {"mean_", "sd_"})
      if (p.results->random_locals && name.starts_with(prefix)) name.remove_prefix(prefix.size());
    const RawUnit u = p.results->random_locals && name == "correlation"
                          ? RawUnit{1.0, "none", false}
                          : raw_unit(name, p.units, p.age_unit, p.height_unit);
    out.put("<tr>" + cell(t.names[k], true) + cell(g(t.estimates[k] * u.factor)) +
            cell(g(t.standard_errors[k] * u.factor)) + cell(u.unit, true) + "</tr>\n");
  }
  out.put("</table>\n");
}

void correlations(io::TextWriter& out, const EstimateTable& t) {
  out.put("<table id=\"correlations\">\n<tr><th></th>");
  for (const std::string& name : t.names) out.put("<th>" + html_text(name) + "</th>");
  out.put("</tr>\n");
  for (std::size_t i = 0; i < t.names.size(); ++i) {
    out.put("<tr>" + cell(t.names[i], true));
    for (std::size_t j = 0; j <= i && i < t.correlations.size(); ++j) out.put(cell(g(t.correlations[i][j], 3)));
    out.put("</tr>\n");
  }
  out.put("</table>\n");
}

void parameters(io::TextWriter& out, const PageInput& p) {
  const PageResults& r = *p.results;
  out.put("<h2>Global parameters</h2>\n");
  estimates(out, p, r.globals, "globals");
  out.put("<p class=\"note\">Raw units (" + html_text(units_text(p.units)) +
          ") where the change of units is an exact rescaling: the asymptote a (and a_intercept) in height units, "
          "a_slope in height times age, the rate b per unit of age, the start age t0 in age units. The other "
          "parameters are in the scaled units of the data file: the power c has none, and the deviations and the "
          "start level y0 live on the power scale (h<sup>c</sup> &minus; a<sup>c</sup>)/c, whose raw form depends on "
          "c, so their standard errors do not convert by a factor. Standard errors are &radic;2 times the square "
          "roots of the diagonal of the inverse Hessian of minus twice the log-likelihood.</p>\n");
  if (r.random_locals) {
    out.put("<h2>Locals: their population's means and standard deviations (random locals)</h2>\n");
    estimates(out, p, r.local_averages, "population");
    out.put("<h2>Correlations of the outer estimates (globals and population)</h2>\n");
    correlations(out, r.outer);
    return;
  }
  out.put("<h2>Correlations of the global estimates</h2>\n");
  correlations(out, r.globals);
  out.put("<h2>Locals: averages weighted by the plots' measurements</h2>\n");
  estimates(out, p, r.local_averages, "local-averages");
}

void comparison(io::TextWriter& out, const PageInput& p) {
  if (p.comparison == nullptr) return;
  out.put("<h2>Models compared (sorted by AIC)</h2>\n<div class=\"wide\"><table id=\"comparison\">\n<tr>");
  for (std::size_t k = 0; k < p.comparison->header.size(); ++k)
    out.put(std::string(k == 1 || k == 2 || k >= 7 ? "<th class=\"name\">" : "<th>") +
            html_text(p.comparison->header[k]) + "</th>");
  out.put("</tr>\n");
  for (const auto& row : p.comparison->rows) {
    const bool chosen = row[0] == std::to_string(p.results->model);
    out.put(chosen ? "<tr class=\"chosen\">" : "<tr>");
    for (std::size_t k = 0; k < row.size(); ++k) {
      const bool number = k == 3 || k == 5 || k == 6;
      out.put(cell(number ? g(std::strtod(row[k].c_str(), nullptr), 8) : row[k], k == 1 || k == 2 || k >= 7));
    }
    out.put("</tr>\n");
  }
  out.put("</table></div>\n<p class=\"note\">The highlighted row is the model of this page.</p>\n");
}

void residuals(io::TextWriter& out, const PageInput& p) {
  const ResidualSummary& s = p.residuals;
  out.put("<h2>Residuals: standardised innovations</h2>\n<table id=\"residuals\">\n");
  const std::pair<const char*, std::string> rows[] = {
      {"innovations", std::to_string(s.count)},
      {"mean (0 expected)", g(s.mean, 4)},
      {"variance (1 expected)", g(s.variance, 4)},
      {"share beyond &plusmn;2 (4.55% expected)", g(100 * s.beyond_two, 3) + "%"},
      {"2.5%, 50%, 97.5% quantiles (&minus;1.96, 0, 1.96 expected)",
       g(s.low, 3) + ", " + g(s.median, 3) + ", " + g(s.high, 3)}};
  for (const auto& [name, value] : rows)
    out.put("<tr><td class=\"name\">" + std::string(name) + "</td>" + cell(value) + "</tr>\n");
  out.put(
      "</table>\n<p class=\"note\">Under the model the standardised innovations are independent standard "
      "normal.</p>\n");
}

void figures(io::TextWriter& out, const PageInput& p) {
  out.put("<h2>Figures</h2>\n");
  const std::pair<const std::string*, std::string> items[] = {
      {&p.figures.plots,
       "Measured heights, conditional median and " + g(100 * p.level, 3) + (p.full_intervals ? "% full" : "%") +
           " band of the first plots"},
      {&p.figures.curves, "Guide curves at the average locals and at quantiles of the locals"},
      {&p.figures.residuals, "Standardised innovations against age and fitted height, and a normal Q-Q plot"}};
  int k = 0;
  for (const auto& [svg, caption] : items)
    out.put("<figure>\n" + inline_svg(*svg, "f" + std::to_string(++k)) + "<figcaption>" + html_text(caption) +
            "</figcaption>\n</figure>\n");
}

}  // namespace

std::string html_text(const std::string& text) {
  std::string s;
  for (char ch : text) {
    if (ch == '&')
      s += "&amp;";
    else if (ch == '<')
      s += "&lt;";
    else if (ch == '>')
      s += "&gt;";
    else if (ch == '"')
      s += "&quot;";
    else
      s += ch;
  }
  return s;
}

std::string inline_svg(const std::string& svg, const std::string& prefix) {
  std::string s = svg.substr(std::min(svg.size(), svg.find("<svg")));
  for (const std::string key : {"id=\"", "url(#"})
    for (std::size_t at = s.find(key); at != std::string::npos; at = s.find(key, at + key.size() + prefix.size()))
      s.insert(at + key.size(), prefix);
  return s;
}

void write_summary_page(const std::string& path, const PageInput& p) {
  io::TextWriter out(path, "summary page");
  out.put("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
          html_text(p.results->title) + " (model " + std::to_string(p.results->model) + ")</title>\n<style>\n" +
          kStyle + "\n</style>\n</head>\n<body>\n");
  heading(out, p);
  parameters(out, p);
  comparison(out, p);
  residuals(out, p);
  figures(out, p);
  out.put(
      "<p class=\"note\">Written by projector from the results file " + html_text(p.results_path) +
      (p.full_intervals ? "; intervals are full intervals, which carry the estimates' uncertainty (over " +
                              std::to_string(p.draws) + " draws of the parameters per plot)."
                        : "; intervals are plug-in intervals, which treat the estimates as the true parameters.") +
      "</p>\n</body>\n</html>\n");
  out.commit();
}

}  // namespace projector
