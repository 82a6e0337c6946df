// Output editing of single fields, with the rules of the formatted writes:
// Iw, A/Aw, Fw.d, Ew.d (two-digit exponent field) and Gw.d. Each call appends
// exactly w characters (A without width: the text itself).
#pragma once

#include <string>
#include <string_view>

namespace io {

void edit_i(std::string& out, long long value, int w);
void edit_a(std::string& out, std::string_view text, int w);  // w < 0: plain A
void edit_f(std::string& out, double value, int w, int d);
void edit_e(std::string& out, double value, int w, int d);
void edit_g(std::string& out, double value, int w, int d);

}  // namespace io
