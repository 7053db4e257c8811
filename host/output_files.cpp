#include "host/output_files.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace tbhost {
namespace {

std::string Writable(const fs::path& path, int mode) {
  if (access(path.c_str(), mode) == 0) return {};
  return std::strerror(errno);
}

std::string FileProblem(const fs::path& path, fs::file_status status) {
  if (fs::is_directory(status)) return "is a folder, not a file";
  // Writing goes through a new file renamed over the old one: that must
  // never replace a device, a pipe or a socket.
  if (!fs::is_regular_file(status)) return "is not a regular file";
  if (const std::string why = Writable(path, W_OK); !why.empty())
    return "the file cannot be replaced (" + why + ")";
  return {};
}

std::string FolderProblem(const fs::path& folder) {
  std::error_code ec;
  const fs::file_status status = fs::status(folder, ec);
  if (!fs::exists(status)) return "the folder " + folder.string() + " does not exist";
  if (!fs::is_directory(status)) return folder.string() + " is not a folder";
  if (const std::string why = Writable(folder, W_OK | X_OK); !why.empty())
    return "the folder " + folder.string() + " takes no new file (" + why + ")";
  return {};
}

}  // namespace

std::vector<OutputFile> PlannedOutputs(const HostOptions& options, HostMode mode) {
  if (mode != HostMode::Demo) return {};
  std::vector<OutputFile> files;
  files.push_back({"--png", options.png.empty() ? kDefaultDemoPicture : options.png});
  if (!options.report.empty()) files.push_back({"--report", options.report});
  if (!options.screenshot.empty()) files.push_back({"--screenshot", options.screenshot});
  return files;
}

std::string OutputProblem(const OutputFile& file) {
  if (file.path.empty()) return file.option + " needs a file name";
  const fs::path path(file.path);
  std::string why;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (fs::exists(status)) why = FileProblem(path, status);
  if (why.empty()) {
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    why = FolderProblem(folder);
  }
  return why.empty() ? std::string() : file.option + " " + file.path + ": " + why;
}

std::vector<std::string> OutputProblems(const std::vector<OutputFile>& files) {
  auto same = [](const std::string& a, const std::string& b) {
    std::error_code ea, eb;
    const fs::path pa = fs::weakly_canonical(a, ea);
    const fs::path pb = fs::weakly_canonical(b, eb);
    return !ea && !eb && pa == pb;
  };
  std::vector<std::string> problems;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (std::string why = OutputProblem(files[i]); !why.empty()) {
      problems.push_back(std::move(why));
      continue;
    }
    for (std::size_t j = 0; j < i; ++j)
      if (same(files[i].path, files[j].path))
        problems.push_back(files[i].option + " " + files[i].path + ": " + files[j].option +
                           " writes that file too");
  }
  return problems;
}

}  // namespace tbhost
