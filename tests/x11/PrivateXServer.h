// An X server (Xvfb) of a test program's own, so that no other program's
// windows cover the test's windows or take the pointer while tests run in
// parallel. DISPLAY names it for the plug-in and for child processes. One
// connection to it stays open throughout: an X server resets when its last
// client leaves, and refuses new clients while it does.
#pragma once

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

extern char** environ;

class PrivateXServer {
 public:
  // The program's server, started at the first call; its connection is null
  // when Xvfb cannot be started.
  static PrivateXServer& Shared() {
    static PrivateXServer server(true);
    return server;
  }
  Display* Connection() const { return display_; }
  // ":N"; empty when the server did not start.
  const std::string& Name() const { return name_; }

  // A server of the test's own; DISPLAY names it when `nameInDisplay`.
  explicit PrivateXServer(bool nameInDisplay) {
    int fds[2];
    if (pipe(fds) != 0) return;
    const std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                          nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const bool started = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char* const*>(argv), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    // The server writes its display number once it accepts clients.
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    char c = 0;
    while (started && poll(&ready, 1, 20000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) return;
    name_ = ":" + number;
    if (nameInDisplay) setenv("DISPLAY", name_.c_str(), 1);
    display_ = XOpenDisplay(name_.c_str());
  }
  ~PrivateXServer() {
    CloseConnection();
    Stop();
  }
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;

  void CloseConnection() {
    if (display_) XCloseDisplay(display_);
    display_ = nullptr;
  }
  // Ends the server, as a crash or a logout would.
  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  std::string name_;
  Display* display_ = nullptr;
};
