// Captures what a piece of code writes on the console.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

template <class Body>
std::string console_output(Body body) {
  testing::internal::CaptureStdout();
  body();
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

inline int count_lines(const std::string& text, const std::string& line) {
  int n = 0;
  for (std::size_t p = text.find(line); p != std::string::npos; p = text.find(line, p + 1)) ++n;
  return n;
}
