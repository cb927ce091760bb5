// Xvfb, dbus-daemon and XTest for the window tests; every child is started from an argv, no shell.
#include "x_session.h"

#include "time_limit.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib.h>
#include <poll.h>
#include <sys/prctl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <thread>

namespace ostrael::testing {

Child Child::start(const std::vector<std::string>& argv, const std::vector<std::string>& env, int fd_to_pass,
                   const std::string& working_directory) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  gchar** envp = g_get_environ();
  for (const std::string& e : env) {
    auto eq = e.find('=');
    envp = g_environ_setenv(envp, e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), TRUE);
  }
  int source_fds[] = {fd_to_pass};
  int target_fds[] = {3};
  GError* error = nullptr;
  GPid pid = -1;
  gboolean ok = g_spawn_async_with_pipes_and_fds(
      working_directory.empty() ? nullptr : working_directory.c_str(), args.data(), envp, static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
      [](gpointer) { prctl(PR_SET_PDEATHSIG, SIGTERM); }, nullptr, -1, -1, -1, fd_to_pass >= 0 ? source_fds : nullptr, fd_to_pass >= 0 ? target_fds : nullptr,
      fd_to_pass >= 0 ? 1 : 0, &pid, nullptr, nullptr, nullptr, &error);
  g_strfreev(envp);
  if (!ok) {
    std::string message = error->message;
    g_error_free(error);
    throw std::runtime_error("cannot start " + argv[0] + ": " + message);
  }
  Child child;
  child.pid_ = pid;
  return child;
}

Child::Child(Child&& other) noexcept : pid_(other.pid_), status_(other.status_) { other.pid_ = -1; }

Child& Child::operator=(Child&& other) noexcept {
  if (this != &other) {
    stop();
    pid_ = other.pid_;
    status_ = other.status_;
    other.pid_ = -1;
  }
  return *this;
}

Child::~Child() { stop(); }

bool Child::running() {
  if (pid_ < 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
    return false;
  }
  return true;
}

int Child::wait_for_exit(std::chrono::milliseconds timeout) {
  if (!pump_until([this] { return !running(); }, timeout)) return -1;
  return status_;
}

void Child::stop() {
  if (pid_ < 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  for (int i = 0; i < 100 && waitpid(pid_, &status, WNOHANG) == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (waitpid(pid_, &status, WNOHANG) == 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
  }
  pid_ = -1;
}

std::string start_and_read_line(Child& child, const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe");
  child = Child::start(argv, env, fds[1]);
  close(fds[1]);
  std::string line;
  pollfd p{fds[0], POLLIN, 0};
  while (line.find('\n') == std::string::npos && poll(&p, 1, static_cast<int>(time_limit(std::chrono::seconds(10)).count())) > 0) {
    char buf[256];
    ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    line.append(buf, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  if (line.find('\n') == std::string::npos) throw std::runtime_error(argv[0] + " gave no line");
  return line.substr(0, line.find('\n'));
}

bool pump_until(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  auto end = std::chrono::steady_clock::now() + time_limit(timeout);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    if (!g_main_context_iteration(nullptr, FALSE)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void pump_for(std::chrono::milliseconds time) {
  pump_until([] { return false; }, time);
}

XServer::XServer() {
  // Other test runs on this machine scan for free displays from :0 upwards; a random high
  // display keeps clear of them, and Xvfb exits at once if it is taken after all.
  for (int attempt = 0;; ++attempt) {
    std::string display = ":" + std::to_string(g_random_int_range(200, 900));
    try {
      // -noreset: the server otherwise resets when its last client leaves, and a program
      // connecting just then is turned away.
      start_and_read_line(process_, {"Xvfb", display, "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten",
                                     "tcp", "-noreset"});
      display_ = display;
      return;
    } catch (const std::runtime_error&) {
      if (attempt == 20) throw;
    }
  }
}

SessionBus::SessionBus(const std::vector<std::string>& env) {
  address_ = start_and_read_line(process_, {"dbus-daemon", "--session", "--nofork", "--print-address=3"}, env);
}

#define DPY static_cast<Display*>(display_)

Input::Input(const std::string& display) {
  display_ = XOpenDisplay(display.c_str());
  if (!display_) throw std::runtime_error("cannot open " + display);
}

Input::~Input() { XCloseDisplay(DPY); }

void Input::move(int x, int y) {
  XTestFakeMotionEvent(DPY, -1, x, y, CurrentTime);
  XFlush(DPY);
}

void Input::button(int button, bool down) {
  XTestFakeButtonEvent(DPY, static_cast<unsigned>(button), down, CurrentTime);
  XFlush(DPY);
}

void Input::click(int x, int y, int b) {
  move(x, y);
  button(b, true);
  button(b, false);
}

void Input::key(const char* keysym_name, bool shift) {
  KeyCode shift_code = XKeysymToKeycode(DPY, XK_Shift_L);
  KeyCode code = XKeysymToKeycode(DPY, XStringToKeysym(keysym_name));
  if (shift) XTestFakeKeyEvent(DPY, shift_code, True, CurrentTime);
  XTestFakeKeyEvent(DPY, code, True, CurrentTime);
  XTestFakeKeyEvent(DPY, code, False, CurrentTime);
  if (shift) XTestFakeKeyEvent(DPY, shift_code, False, CurrentTime);
  XFlush(DPY);
}

std::string Input::pixels(int x, int y, int width, int height) {
  XImage* image = XGetImage(DPY, DefaultRootWindow(DPY), x, y, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (!image) return {};
  std::string rgb(static_cast<std::size_t>(width) * height * 3, '\0');
  std::size_t at = 0;
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col) {
      unsigned long p = XGetPixel(image, col, row);
      rgb[at++] = static_cast<char>((p & image->red_mask) >> 16);
      rgb[at++] = static_cast<char>((p & image->green_mask) >> 8);
      rgb[at++] = static_cast<char>(p & image->blue_mask);
    }
  XDestroyImage(image);
  return rgb;
}

bool Input::save_png(const std::string& path, int x, int y, int width, int height) {
  std::string rgb = pixels(x, y, width, height);
  if (rgb.empty()) return false;
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_data(reinterpret_cast<const guchar*>(rgb.data()), GDK_COLORSPACE_RGB, FALSE,
                                               8, width, height, width * 3, nullptr, nullptr);
  gboolean saved = gdk_pixbuf_save(pixbuf, path.c_str(), "png", nullptr, nullptr);
  g_object_unref(pixbuf);
  return saved;
}

bool Input::cursor(int& width, int& height, int& hot_x, int& hot_y) {
  XFixesCursorImage* image = XFixesGetCursorImage(DPY);
  if (!image) return false;
  width = image->width;
  height = image->height;
  hot_x = image->xhot;
  hot_y = image->yhot;
  XFree(image);
  return true;
}

unsigned long Input::find_window(const std::string& title) {
  Window root = DefaultRootWindow(DPY), parent = 0, *children = nullptr;
  unsigned count = 0;
  unsigned long found = 0;
  if (!XQueryTree(DPY, root, &root, &parent, &children, &count)) return 0;
  for (unsigned i = 0; i < count && !found; ++i) {
    XWindowAttributes attributes;
    char* name = nullptr;
    if (XGetWindowAttributes(DPY, children[i], &attributes) && attributes.map_state == IsViewable &&
        XFetchName(DPY, children[i], &name) && name) {
      if (title == name) found = children[i];
      XFree(name);
    }
  }
  if (children) XFree(children);
  return found;
}

bool Input::geometry(unsigned long window, int& x, int& y, int& width, int& height) {
  XWindowAttributes attributes;
  Window child = 0;
  if (!XGetWindowAttributes(DPY, window, &attributes)) return false;
  if (!XTranslateCoordinates(DPY, window, DefaultRootWindow(DPY), 0, 0, &x, &y, &child)) return false;
  width = attributes.width;
  height = attributes.height;
  return true;
}

}  // namespace ostrael::testing
