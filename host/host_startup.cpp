#include "host/host_startup.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "orvn/comrt.h"

namespace fs = std::filesystem;

namespace tbhost {
namespace {

fs::path ProgramFolder() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path() : self.parent_path();
}

fs::path RuntimeLibrary() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&orvn::SysAllocString), &info) != 0 &&
      info.dli_fname != nullptr)
    return fs::path(info.dli_fname);
  return {};
}

bool CopyInto(const fs::path& from, const fs::path& folder, std::string& error) {
  std::error_code ec;
  fs::copy_file(from, folder / from.filename(), fs::copy_options::overwrite_existing, ec);
  if (ec) error = "could not copy " + from.string() + ": " + ec.message();
  return !ec;
}

QtMessageHandler previousHandler = nullptr;
void DropOffscreenWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  // Qt also complains about a missing runtime folder, which a headless
  // session does not need either.
  if (type == QtWarningMsg && (text.startsWith("This plugin does not support") ||
                               text.startsWith("QStandardPaths: XDG_RUNTIME_DIR not set")))
    return;
  if (previousHandler != nullptr)
    previousHandler(type, context, text);
  else
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

int quitPipe[2] = {-1, -1};
bool quitRequested = false;
std::function<void()> quitAction = [] { QApplication::quit(); };
void OnQuitSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = write(quitPipe[1], &byte, 1);
}

}  // namespace

bool HasDisplay() {
  const char* x = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  return (x != nullptr && *x != '\0') || (w != nullptr && *w != '\0');
}

WorkFolder::~WorkFolder() {
  if (path.empty() || keep) return;
  std::error_code ec;
  fs::remove_all(path, ec);
}

bool WorkFolder::Create() {
  std::string pattern = (fs::temp_directory_path() / "trailbeam-host-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return false;
  path = pattern;
  return true;
}

fs::path FindModule(const std::string& requested, std::string& error) {
  fs::path module = requested.empty() ? ProgramFolder() / "TrailBeam.so" : fs::path(requested);
  std::error_code ec;
  module = fs::absolute(module, ec);
  if (!fs::exists(module, ec)) {
    error = "no plug-in module at " + module.string();
    return {};
  }
  return module;
}

fs::path CopyModuleInto(const fs::path& module, const fs::path& folder, std::string& error) {
  if (!CopyInto(module, folder, error)) return {};
  const fs::path runtime = RuntimeLibrary();
  if (!runtime.empty() && !CopyInto(runtime, folder, error)) return {};
  return folder / module.filename();
}

void UsePrivateRegistry(const fs::path& folder, bool replace) {
  if (replace || std::getenv("ORVNCOM_REGISTRY") == nullptr)
    setenv("ORVNCOM_REGISTRY", (folder / "registry").c_str(), 1);
}

void QuietOffscreenWarnings() { previousHandler = qInstallMessageHandler(DropOffscreenWarnings); }

void QuitOnSignals(QApplication& app) {
  // Non-blocking: a burst of signals must never block the handler's write.
  if (pipe2(quitPipe, O_NONBLOCK | O_CLOEXEC) != 0) return;
  auto* notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
    // Emptied, or the notifier would fire again in every loop that runs
    // while the host shuts down.
    char bytes[16];
    [[maybe_unused]] const ssize_t n = read(quitPipe[0], bytes, sizeof bytes);
    quitRequested = true;
    if (quitAction) quitAction();
  });
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

void OnQuitSignal(std::function<void()> action) { quitAction = std::move(action); }

bool QuitRequested() { return quitRequested; }

int Fail(const std::string& why) {
  std::fprintf(stderr, "trailbeam-host: %s\n", why.c_str());
  return 1;
}

}  // namespace tbhost
