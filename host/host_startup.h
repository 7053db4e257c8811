// What every mode of the host does around the plug-in before it runs: find
// the module, keep the operator's registry and settings file out of reach,
// quieten the offscreen platform, and end cleanly on a signal.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

class QApplication;

namespace tbhost {

bool HasDisplay();

// A private folder for the registry (and, for the scripted modes, the module
// copy), so that neither the operator's registry nor their TrailBeam.ini is
// touched. Removed with everything in it unless `keep` is set.
struct WorkFolder {
  std::filesystem::path path;
  bool keep = false;
  WorkFolder() = default;
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  ~WorkFolder();
  bool Create();
};

// The module to load: `requested`, or TrailBeam.so beside this program.
// Empty, with the reason in `error`, when there is no such file.
std::filesystem::path FindModule(const std::string& requested, std::string& error);

// Copies the module and the platform runtime it links into `folder`; returns
// the copy's path, or an empty path with the reason in `error`.
std::filesystem::path CopyModuleInto(const std::filesystem::path& module,
                                     const std::filesystem::path& folder, std::string& error);

// Points the platform's registry into `folder`: always when `replace`,
// otherwise only when the environment names none.
void UsePrivateRegistry(const std::filesystem::path& folder, bool replace);

// The offscreen platform warns about every window feature it lacks; none of
// that matters to a scripted session.
void QuietOffscreenWarnings();

// SIGTERM and SIGINT end the event loop, so that a host run by a script shuts
// down as it does when its window is closed.
void QuitOnSignals(QApplication& app);
// What such a signal does from now on, on the GUI thread, in place of
// QApplication::quit (which also closes every window).
void OnQuitSignal(std::function<void()> action);
// Whether such a signal came; also one that came before any loop ran that
// it could end.
bool QuitRequested();

// "trailbeam-host: <why>" on stderr; returns the exit status of a failed run.
int Fail(const std::string& why);

}  // namespace tbhost
