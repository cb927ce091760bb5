// The start-up clock of bench/run.sh: spawns a program on the current X display and reports how
// long its first top-level window took to be mapped and then exposed, and its peak RSS.
//
//   start_watcher [-t timeout_seconds] [-l linger_ms] [-n title] -- program [arguments...]
//
// With -n, only a window whose title holds `title` counts, and its time is when it has been both
// exposed and so titled: an editor may map another window before its main one, or show its main
// window empty and name it after the file once it has read it.
//
// Prints "map_ms expose_ms peak_rss_kib raced" and ends the program. "raced" is 1 when the
// window was mapped before the watcher could ask for its Expose events; the map time then stands
// for both, which is when the server sends the first Expose anyway (no window manager on Xvfb).
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

static double now_ms(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// The window's title, UTF-8 or Latin-1 as the program set it; "" when it has none yet.
static void window_title(Display* display, Window window, char* out, size_t size) {
  out[0] = 0;
  Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom names[] = {XInternAtom(display, "_NET_WM_NAME", False), XA_WM_NAME};
  for (size_t i = 0; i < sizeof names / sizeof names[0] && !out[0]; ++i) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = NULL;
    if (XGetWindowProperty(display, window, names[i], 0, 1024, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) == Success && data && format == 8 && (type == utf8 || type == XA_STRING)) {
      snprintf(out, size, "%.*s", (int)count, (const char*)data);
    }
    if (data) XFree(data);
  }
}

static int ignore_errors(Display* display, XErrorEvent* error) {
  (void)display, (void)error;  // a window destroyed before we asked about it
  return 0;
}

// Ends the child and collects its peak RSS in KiB.
static long end_child(pid_t child) {
  struct rusage usage;
  memset(&usage, 0, sizeof usage);
  kill(child, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    pid_t done = wait4(child, NULL, WNOHANG, &usage);
    if (done == child) return usage.ru_maxrss;
    struct timespec pause = {0, 10 * 1000 * 1000};
    nanosleep(&pause, NULL);
  }
  kill(child, SIGKILL);
  wait4(child, NULL, 0, &usage);
  return usage.ru_maxrss;
}

int main(int argc, char** argv) {
  double timeout_ms = 30000, linger_ms = 0;
  const char* title = NULL;
  int opt;
  while ((opt = getopt(argc, argv, "+t:l:n:")) != -1) {
    if (opt == 't') timeout_ms = atof(optarg) * 1000;
    else if (opt == 'l') linger_ms = atof(optarg);
    else if (opt == 'n') title = optarg;
    else return 64;
  }
  if (optind >= argc) {
    fprintf(stderr, "usage: %s [-t seconds] [-l linger_ms] [-n title] -- program [arguments...]\n", argv[0]);
    return 64;
  }

  // The connection and the root's SubstructureNotify come first, so no CreateNotify is missed.
  Display* display = XOpenDisplay(NULL);
  if (!display) {
    fprintf(stderr, "start_watcher: cannot open display\n");
    return 69;
  }
  XSetErrorHandler(ignore_errors);
  Window root = DefaultRootWindow(display);
  XSelectInput(display, root, SubstructureNotifyMask);
  XSync(display, False);

  pid_t child;
  double start = now_ms();
  int spawn_error = posix_spawnp(&child, argv[optind], NULL, NULL, argv + optind, environ);
  if (spawn_error) {
    fprintf(stderr, "start_watcher: cannot start %s: %s\n", argv[optind], strerror(spawn_error));
    return 69;
  }

  Window target = None;
  double mapped = -1, exposed = -1, titled = title ? -1 : 0, done_at = -1;
  int raced = 0;
  // With a title to wait for: the top-level windows mapped so far, until one bears it.
  struct Candidate {
    Window window;
    double mapped, exposed;
  } candidates[64];
  int candidate_count = 0;
  const long mask = ExposureMask | StructureNotifyMask | (title ? PropertyChangeMask : 0);
  Atom net_wm_name = XInternAtom(display, "_NET_WM_NAME", False);
  struct pollfd x = {ConnectionNumber(display), POLLIN, 0};
  for (;;) {
    double t = now_ms();
    if (done_at >= 0 && t - done_at >= linger_ms) break;
    if (t - start > timeout_ms) {
      fprintf(stderr, "start_watcher: no window mapped and exposed within the timeout\n");
      end_child(child);
      return 2;
    }
    if (target != None && exposed < 0 && t - mapped > 500) {
      raced = 1;  // no Expose came: it went out before we listened
      exposed = mapped;
    }
    if (target != None && exposed >= 0 && titled >= 0 && done_at < 0) {
      done_at = exposed > titled ? exposed : titled;
      continue;
    }
    if (waitpid(child, NULL, WNOHANG) == child) {
      fprintf(stderr, "start_watcher: %s ended before its window showed\n", argv[optind]);
      return 1;
    }
    if (!XPending(display)) {
      double left = done_at >= 0 ? linger_ms - (t - done_at) : 50;
      poll(&x, 1, left < 1 ? 1 : left > 50 ? 50 : (int)left);
      continue;
    }
    XEvent event;
    XNextEvent(display, &event);
    double at = now_ms();
    switch (event.type) {
      case CreateNotify: {
        XCreateWindowEvent* e = &event.xcreatewindow;
        if (e->parent != root || e->override_redirect || target != None) break;
        XSelectInput(display, e->window, mask);
        break;
      }
      case MapNotify: {
        XMapEvent* e = &event.xmap;
        if (e->event != root || e->override_redirect || target != None) break;
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, e->window, &attributes) || attributes.class != InputOutput) break;
        // Asked again: a window mapped before our first XSelectInput reached the server never
        // sent us its first Expose, and there is no way to tell it from one that has none coming.
        XSelectInput(display, e->window, mask);
        if (title) {
          if (candidate_count == (int)(sizeof candidates / sizeof candidates[0])) break;
          candidates[candidate_count++] = (struct Candidate){e->window, at, -1};
          char name[1024];
          window_title(display, e->window, name, sizeof name);
          if (!strstr(name, title)) break;
          titled = at;
        }
        target = e->window;
        mapped = at;
        break;
      }
      case PropertyNotify: {
        XPropertyEvent* e = &event.xproperty;
        if (!title || target != None || (e->atom != XA_WM_NAME && e->atom != net_wm_name)) break;
        for (int i = 0; i < candidate_count; ++i) {
          if (candidates[i].window != e->window) continue;
          char name[1024];
          window_title(display, e->window, name, sizeof name);
          if (!strstr(name, title)) break;
          target = e->window;
          mapped = candidates[i].mapped;
          exposed = candidates[i].exposed;
          titled = at;
          break;
        }
        break;
      }
      case Expose:
        if (event.xexpose.window == target && exposed < 0) exposed = at;
        for (int i = 0; target == None && i < candidate_count; ++i)
          if (candidates[i].window == event.xexpose.window && candidates[i].exposed < 0) candidates[i].exposed = at;
        break;
    }
  }
  long rss = end_child(child);
  printf("%.3f %.3f %ld %d\n", mapped - start, done_at - start, rss, raced);
  XCloseDisplay(display);
  return 0;
}
