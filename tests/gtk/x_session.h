// A private X server (Xvfb) and session bus for one test, plus real pointer and key input through XTest.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace ostrael::testing {

// A child process that is ended and reaped when this goes.
class Child {
 public:
  Child() = default;
  // argv[0] is looked up in PATH; `env` entries "NAME=value" replace or add to ours.
  // `fd_to_pass`, if not -1, is given to the child as descriptor 3; `working_directory`, if not
  // empty, is where it starts. The child is ended when this process dies, so a crashed test
  // leaves no server behind.
  static Child start(const std::vector<std::string>& argv, const std::vector<std::string>& env = {}, int fd_to_pass = -1,
                     const std::string& working_directory = {});
  Child(Child&& other) noexcept;
  Child& operator=(Child&& other) noexcept;
  ~Child();

  pid_t pid() const { return pid_; }
  bool running();
  // The exit status, or -1 when it did not end in time; pumps the GLib main context meanwhile.
  int wait_for_exit(std::chrono::milliseconds timeout);
  void stop();

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

// Starts `argv` with "3" as the descriptor it writes one line to, and returns that line.
std::string start_and_read_line(Child& child, const std::vector<std::string>& argv,
                                const std::vector<std::string>& env = {});

// Pumps the default GLib main context until `done` or the timeout; true when done.
bool pump_until(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10));
void pump_for(std::chrono::milliseconds time);

class XServer {
 public:
  XServer();  // Xvfb on a free display, 1024 x 768 x 24
  std::string display() const { return display_; }
  std::string env() const { return "DISPLAY=" + display_; }
  bool running() { return process_.running(); }

 private:
  Child process_;
  std::string display_;
};

class SessionBus {
 public:
  // dbus-daemon --session on a private address; services it starts get `env`.
  explicit SessionBus(const std::vector<std::string>& env = {});
  std::string address() const { return address_; }
  std::string env() const { return "DBUS_SESSION_BUS_ADDRESS=" + address_; }

 private:
  Child process_;
  std::string address_;
};

// Real input events on a display, as a user's mouse and keyboard give them.
class Input {
 public:
  explicit Input(const std::string& display);
  ~Input();
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  void move(int x, int y);
  void button(int button, bool down);
  void click(int x, int y, int button = 1);
  void key(const char* keysym_name, bool shift = false);
  // The screen's pixels in the rectangle as RGB rows, three bytes a pixel; empty if X refuses.
  std::string pixels(int x, int y, int width, int height);
  // The same pixels saved as a PNG.
  bool save_png(const std::string& path, int x, int y, int width, int height);
  // The pointer's current cursor: its size and hot spot; false if XFixes cannot tell.
  bool cursor(int& width, int& height, int& hot_x, int& hot_y);
  // The top-level window whose title is `title`; 0 if none is mapped.
  unsigned long find_window(const std::string& title);
  // The window's client area on the screen.
  bool geometry(unsigned long window, int& x, int& y, int& width, int& height);

 private:
  void* display_ = nullptr;  // Display*, kept out of the header for Xlib's macros
};

}  // namespace ostrael::testing
