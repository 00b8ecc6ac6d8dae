// harness.h: runs the real zumbrel as a user would, on a private X server.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

typedef struct _XDisplay Display;

// A virtual X server of the test's own, so that tests never share windows
// and never touch a real screen.
class XServer {
 public:
  XServer();
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  bool Ok() const { return display_ != nullptr; }
  const std::string& Name() const { return name_; }  // ":N"
  Display* Connection() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
  Display* display_ = nullptr;
};

// One run of the program in a working directory, with stdout line-buffered
// so that lines can be read while it runs. Ended on destruction if still up.
class Zumbrel {
 public:
  // display: the DISPLAY to give it, or empty to give it none. limitMemory
  // caps what it may allocate at 2 GiB, so that a huge allocation fails alike
  // on every machine. program: the command that runs it, by default the
  // build's own zumbrel, line-buffered.
  Zumbrel(const std::string& dir, const std::vector<std::string>& args,
          const std::string& display, bool limitMemory = false,
          const std::vector<std::string>& program = {});
  ~Zumbrel();
  Zumbrel(const Zumbrel&) = delete;
  Zumbrel& operator=(const Zumbrel&) = delete;

  // Polls until stdout holds the text; false at the deadline.
  bool WaitForStdout(const std::string& text, double seconds = 20);
  // Polls until stdout holds a whole line that starts with the text.
  bool WaitForLine(const std::string& start, double seconds = 20);
  // The same for a line that starts after what stdout holds now.
  bool WaitForNextLine(const std::string& start, double seconds = 20);
  // Polls until a frame report shows that a tick has run: its tick rate is
  // above 0. Frames drawn before the first tick show the eye on the floor.
  bool WaitForReportAfterATick(double seconds = 60);
  // Polls until the program has ended; false at the deadline.
  bool WaitForExit(double seconds = 20);
  // Ends the program (SIGTERM, then SIGKILL) and collects what it printed.
  void Stop();

  bool Running() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  const std::string& Out() const { return out_; }
  const std::string& Err() const { return err_; }
  // The exit status, or -1 when it did not exit by itself.
  int ExitStatus() const { return exitStatus_; }

 private:
  bool PollForLine(const std::string& start, size_t from, double seconds);
  bool PollStdout(const std::function<bool()>& done, double seconds);
  void Drain(int timeoutMs);
  bool Reap(bool block);

  pid_t pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  std::string out_;
  std::string err_;
  int exitStatus_ = -1;
};

// The top-level window with this title, or 0 when there is none yet.
unsigned long FindWindow(Display* display, const std::string& title);
// Polls for the window; 0 at the deadline.
unsigned long WaitForWindow(Display* display, const std::string& title,
                            double seconds = 20);

struct WindowSize {
  int width;
  int height;
};
// Polls until the window has this size; returns the size it has then.
WindowSize WaitForWindowSize(Display* display, unsigned long window, int width,
                             int height, double seconds = 20);

// The pixels of the window that the screen shows, as 0xRRGGBB, row by row;
// empty while it is not mapped.
std::vector<unsigned int> GrabWindow(Display* display, unsigned long window);

// True for a pixel of a near wall, at full brightness in the bundled wall
// colour 0.35 0.55 1.
bool IsBundledWallColour(unsigned int pixel);

// Gives the window the keyboard focus; no window manager does it here.
void FocusWindow(Display* display, unsigned long window);
// Presses or releases the key of an X keysym (XK_i, XK_Escape, ...) through
// the XTEST extension, as a user's keyboard would.
void SendKey(Display* display, unsigned long keysym, bool press);

// Copies the bundled model files, or the maze and the models, into a test's
// directory.
class ScratchDir;
void CopyBundledModels(const ScratchDir& dir);
void CopyBundledData(const ScratchDir& dir);

// The usage text, for the tests' expectations.
extern const char* const kUsageText;
