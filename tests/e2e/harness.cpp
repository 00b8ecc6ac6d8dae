// harness.cpp: private X servers and runs of the real program.
#include "harness.h"
#include "support/scratch.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <cstring>

namespace {

double Now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Starts a program with the given descriptors as its stdin, stdout, stderr.
// With limitMemory its address space is capped, so that a large allocation
// fails the same way on every machine.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& dir,
            const std::string& display, int out, int err, bool limitMemory = false) {
  pid_t pid = fork();
  if (pid != 0) return pid;
#ifdef ZUMBREL_SANITIZED
  // AddressSanitizer needs its address space; it caps allocations instead.
  // No leak check: the program keeps all its own memory reachable from its
  // globals to the end, so the check could only report the graphics
  // libraries, whose driver is unloaded by then and cannot even be named.
  // The unit tests check the program's own code for leaks.
  (void)limitMemory;
  setenv("ASAN_OPTIONS", "allocator_may_return_null=1:max_allocation_size_mb=2048:detect_leaks=0", 1);
#else
  if (limitMemory) {
    rlimit limit{2048ul << 20, 2048ul << 20};
    setrlimit(RLIMIT_AS, &limit);
  }
#endif
  int devnull = open("/dev/null", O_RDONLY);
  dup2(devnull, STDIN_FILENO);
  dup2(out, STDOUT_FILENO);
  dup2(err, STDERR_FILENO);
  if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(127);
  if (display.empty())
    unsetenv("DISPLAY");
  else
    setenv("DISPLAY", display.c_str(), 1);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

}  // namespace

XServer::XServer() {
  int ready[2];
  if (pipe(ready) != 0) return;
  std::string fd = std::to_string(ready[1]);
  int devnull = open("/dev/null", O_WRONLY);
  pid_ = Spawn({"Xvfb", "-displayfd", fd, "-screen", "0", "1024x768x24",
                "-nolisten", "tcp", "-noreset"},
               "", "", devnull, devnull);
  close(devnull);
  close(ready[1]);

  // The server writes its display number once it accepts connections.
  std::string number;
  char c;
  pollfd p{ready[0], POLLIN, 0};
  while (poll(&p, 1, 20000) > 0 && read(ready[0], &c, 1) == 1 && c != '\n')
    number += c;
  close(ready[0]);
  if (number.empty()) return;
  name_ = ":" + number;
  display_ = XOpenDisplay(name_.c_str());
  // A window that goes away under a request is a test failure, not a reason
  // for Xlib to end the test program.
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
}

XServer::~XServer() {
  if (display_ != nullptr) XCloseDisplay(display_);
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

Zumbrel::Zumbrel(const std::string& dir, const std::vector<std::string>& args,
                 const std::string& display, bool limitMemory,
                 const std::vector<std::string>& program) {
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return;
  std::vector<std::string> argv = program;
  if (argv.empty()) argv = {"stdbuf", "-oL", ZUMBREL_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  pid_ = Spawn(argv, dir, display, out[1], err[1], limitMemory);
  close(out[1]);
  close(err[1]);
  outFd_ = out[0];
  errFd_ = err[0];
}

Zumbrel::~Zumbrel() { Stop(); }

// Reads whatever the pipes hold, waiting up to timeoutMs for the first byte.
void Zumbrel::Drain(int timeoutMs) {
  pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
  if (poll(fds, 2, timeoutMs) <= 0) return;
  char buffer[4096];
  std::string* sinks[2] = {&out_, &err_};
  for (int i = 0; i < 2; i++) {
    if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
    ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
    if (n > 0) {
      sinks[i]->append(buffer, static_cast<size_t>(n));
    } else {
      close(fds[i].fd);
      (i == 0 ? outFd_ : errFd_) = -1;
    }
  }
}

bool Zumbrel::Reap(bool block) {
  if (pid_ <= 0) return true;
  int status;
  if (waitpid(pid_, &status, block ? 0 : WNOHANG) != pid_) return false;
  pid_ = -1;
  if (WIFEXITED(status)) exitStatus_ = WEXITSTATUS(status);
  return true;
}

bool Zumbrel::PollStdout(const std::function<bool()>& done, double seconds) {
  double deadline = Now() + seconds;
  while (!done()) {
    if (Now() > deadline || (outFd_ < 0 && errFd_ < 0)) return false;
    Drain(50);
  }
  return true;
}

bool Zumbrel::WaitForStdout(const std::string& text, double seconds) {
  return PollStdout([&] { return out_.find(text) != std::string::npos; }, seconds);
}

bool Zumbrel::PollForLine(const std::string& start, size_t from, double seconds) {
  return PollStdout(
      [&] {
        size_t at = out_.find(start, from);
        return at != std::string::npos && out_.find('\n', at) != std::string::npos;
      },
      seconds);
}

bool Zumbrel::WaitForLine(const std::string& start, double seconds) {
  return PollForLine(start, 0, seconds);
}

bool Zumbrel::WaitForNextLine(const std::string& start, double seconds) {
  Drain(0);
  return PollForLine(start, out_.size(), seconds);
}

bool Zumbrel::WaitForReportAfterATick(double seconds) {
  static const std::string kReport = "Average fps: updated ";
  return PollStdout(
      [&] {
        for (size_t at = 0; (at = out_.find(kReport, at)) != std::string::npos; at++) {
          if (out_.find('\n', at) == std::string::npos) return false;
          // "inf" at 0 seconds, "nan" with no ticks.
          if (std::strtod(out_.c_str() + at + kReport.size(), nullptr) > 0) return true;
        }
        return false;
      },
      seconds);
}

bool Zumbrel::WaitForExit(double seconds) {
  double deadline = Now() + seconds;
  while (!Reap(false)) {
    if (Now() > deadline) return false;
    Drain(50);
  }
  while (outFd_ >= 0 || errFd_ >= 0) Drain(1000);
  return true;
}

void Zumbrel::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    if (!WaitForExit(5)) {
      kill(pid_, SIGKILL);
      Reap(true);
    }
  }
  while (outFd_ >= 0 || errFd_ >= 0) Drain(1000);
}

unsigned long FindWindow(Display* display, const std::string& title) {
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent,
                  &children, &count))
    return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && found == 0; i++) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) && name != nullptr) {
      if (title == name) found = children[i];
      XFree(name);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

unsigned long WaitForWindow(Display* display, const std::string& title,
                            double seconds) {
  double deadline = Now() + seconds;
  for (;;) {
    Window window = FindWindow(display, title);
    if (window != 0 || Now() > deadline) return window;
    usleep(20000);
  }
}

WindowSize WaitForWindowSize(Display* display, unsigned long window, int width,
                             int height, double seconds) {
  double deadline = Now() + seconds;
  for (;;) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    WindowSize size{attributes.width, attributes.height};
    if ((size.width == width && size.height == height) || Now() > deadline)
      return size;
    usleep(20000);
  }
}

std::vector<unsigned int> GrabWindow(Display* display, unsigned long window) {
  std::vector<unsigned int> pixels;
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, window, &attributes) ||
      attributes.map_state != IsViewable)
    return pixels;  // not on the screen yet

  // GLUT may place the window partly off the screen (at -1, -1 with no
  // window manager); read what the screen shows of it.
  Window root = DefaultRootWindow(display);
  int x0, y0;
  Window child;
  XTranslateCoordinates(display, window, root, 0, 0, &x0, &y0, &child);
  int left = std::max(x0, 0), top = std::max(y0, 0);
  int right = std::min(x0 + attributes.width, DisplayWidth(display, 0));
  int bottom = std::min(y0 + attributes.height, DisplayHeight(display, 0));
  if (right <= left || bottom <= top) return pixels;
  XImage* image = XGetImage(display, root, left, top, static_cast<unsigned>(right - left),
                            static_cast<unsigned>(bottom - top), AllPlanes, ZPixmap);
  if (image == nullptr) return pixels;
  for (int y = 0; y < bottom - top; y++)
    for (int x = 0; x < right - left; x++)
      pixels.push_back(static_cast<unsigned int>(XGetPixel(image, x, y) & 0xFFFFFF));
  XDestroyImage(image);
  return pixels;
}

void FocusWindow(Display* display, unsigned long window) {
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  XSync(display, False);
}

void SendKey(Display* display, unsigned long keysym, bool press) {
  KeyCode code = XKeysymToKeycode(display, keysym);
  XTestFakeKeyEvent(display, code, press ? True : False, CurrentTime);
  XSync(display, False);
}

void CopyBundledModels(const ScratchDir& dir) {
  for (const char* name : {"space.txt", "wall.txt", "door.txt", "start.txt",
                           "orb.txt", "tele.txt", "ped.txt"})
    dir.Copy(std::string(ZUMBREL_DATA_DIR) + "/" + name, name);
}

bool IsBundledWallColour(unsigned int pixel) {
  int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
  return std::abs(r - 89) <= 2 && std::abs(g - 140) <= 2 && b >= 253;
}

void CopyBundledData(const ScratchDir& dir) {
  dir.Copy(std::string(ZUMBREL_DATA_DIR) + "/maze.txt", "maze.txt");
  CopyBundledModels(dir);
}

const char* const kUsageText =
    "Usage:\n"
    "Option___________   Meaning______________________________________ \n"
    " -help              show this help page\n"
    " -a                 enable the alpha blending usage             \n"
    " -nr                disable the object rotation                  \n"
    " -v                 increase program's verbosity                 \n"
    "_________________   _____________________________________________ \n"
    "Standard GLUT args:\n"
    " -iconic            start iconic\n"
    " -display DISP      use display DISP\n"
    " -direct            use direct rendering (default)\n"
    " -indirect          use indirect rendering\n"
    " -sync              use synchronous X protocol\n"
    " -gldebug           check OpenGL errors\n"
    " -geometry WxH+X+Y  standard X window spec (overridden here) \n";
