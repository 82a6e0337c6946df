// The metadata file the preparer writes beside a data file, DATA.meta.json:
// the age and height scales the raw measurements were divided by, the raw
// file's name, the counts of plots and measurements, and the data file's
// fingerprint (common/fingerprint.hpp), so that a program that finds the
// file beside a data file can tell whether it still describes it. Layout in
// docs/results-files.md. One writer (the preparer's) and one reader.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace common {

struct DataMetadata {
  double age_scale = 1.0;
  double height_scale = 1.0;
  std::string raw_file;
  std::int64_t plots = 0;
  std::int64_t measurements = 0;
  std::string data_fingerprint;  // 16 hexadecimal digits
};

// The metadata file's name for a data file: the data file's name followed by ".meta.json".
std::string metadata_path(const std::string& data_path);

// Writes the file beside the data file, put in place only when complete.
void write_data_metadata(const std::string& data_path, const DataMetadata& metadata);

// The metadata beside the data file, or nothing when there is none. A file
// that is there but cannot be read, is not JSON or lacks a key ends the run
// (status 2) with a message naming the file and the key.
std::optional<DataMetadata> read_data_metadata(const std::string& data_path);

// The metadata read, if it describes the data file whose fingerprint is
// `fingerprint`; otherwise nothing, with a note on the error stream when there
// was a metadata file that no longer describes it:
//   PROGRAM: note: the metadata 'M' does not describe the data file 'D' (its
//   fingerprint is X, the data file's Y): CONSEQUENCE
const DataMetadata* describing(const std::optional<DataMetadata>& metadata, const std::string& data_path,
                               const std::string& fingerprint, const char* program, const char* consequence);

// The data file's fingerprint (common/fingerprint.hpp), from one pass over
// its plots; nothing when it does not read to its end as a data file (the
// program's own reading of it names the fault).
std::optional<std::string> data_file_fingerprint(const std::string& data_path);

// For a program that takes defaults from the metadata before it reads the
// data: the metadata beside the data file when it describes it (describing(),
// after a pass over the data file for its fingerprint), and when the data
// file cannot be read to its end, as it is.
std::optional<DataMetadata> read_describing_metadata(const std::string& data_path, const char* program,
                                                     const char* consequence);

}  // namespace common
