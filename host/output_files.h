// The files a run will write, checked before the session starts: a typo in
// a folder name must not cost a whole demo, nor pass unnoticed.
#pragma once

#include <string>
#include <vector>

#include "host/host_options.h"

namespace tbhost {

inline constexpr char kDefaultDemoPicture[] = "trailbeam-demo.png";

struct OutputFile {
  std::string option;  // as the user wrote it, e.g. "--png"
  std::string path;
};

// Every file a run of `mode` writes; whatever output a mode gains is listed
// here so that it is checked with the rest.
std::vector<OutputFile> PlannedOutputs(const HostOptions& options, HostMode mode);

// Why the file cannot be written (naming the option and the path), or empty
// when its folder exists and takes a new file and the file, if there, is a
// regular file that may be replaced.
std::string OutputProblem(const OutputFile& file);

// The problems of all of them, one line each, also two options naming one file.
std::vector<std::string> OutputProblems(const std::vector<OutputFile>& files);

}  // namespace tbhost
