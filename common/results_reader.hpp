// The checked reader of a results file (JSON) of an estimator run, shared by
// every program and test that reads one. The file's writer is
// estimator/results_json.cpp.
#pragma once

#include <string>

#include "common/json_reader.hpp"

namespace common {

class ResultsReader : public JsonReader {
 public:
  // Refuses a file that cannot be read, is not JSON or is not a results
  // file of estimator ("program": "estimator").
  explicit ResultsReader(const std::string& path)
      : JsonReader(path, JsonFileKind{"results file", "results file", "estimator"}) {}
};

}  // namespace common
