// End to end under Wine: starts Ostrael.exe from a mapped drive as a debuggee, reads its real
// window back, clicks its pictures with real mouse input and collects its debug output.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "accessible.h"
#include "gui_objects.h"
#include "main_window.h"
#include "time_limit.h"
#include "ui/picture.h"
#include "ui/layout.h"
#include "unique_handle.h"
#include "utf16.h"

namespace ui = ostrael::ui;
using namespace std::chrono_literals;
using win32::face_rgb;
using win32_tests::pump;

namespace {

std::wstring env(const wchar_t* name) {
  wchar_t buffer[1024];
  DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
  return n && n < 1024 ? std::wstring(buffer, n) : std::wstring();
}

std::wstring drive() { return env(L"OSTRAEL_E2E_DRIVE"); }  // "P:"

bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
  auto end = std::chrono::steady_clock::now() + ostrael::testing::time_limit(limit);
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(50ms);
  }
  return done();
}

void write_file(const std::wstring& path, const std::string& bytes) {
  win32::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(file) << win32::to_utf8(path);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

// The file's first 1 MiB; empty if it cannot be read.
std::string read_file(const std::wstring& path) {
  win32::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  std::string bytes(1 << 20, '\0');
  DWORD read = 0;
  if (!file || !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) read = 0;
  return bytes.substr(0, read);
}

// A folder on the mapped drive holding a copy of the program, and maybe a message.txt.
std::wstring prepare(const std::wstring& folder, const std::optional<std::string>& message = std::nullopt) {
  std::wstring dir = drive() + L"\\" + folder;
  if (!folder.empty()) CreateDirectoryW(dir.c_str(), nullptr);
  std::wstring exe = dir + (folder.empty() ? L"" : L"\\") + L"Ostrael.exe";
  if (!folder.empty()) EXPECT_TRUE(CopyFileW((drive() + L"\\Ostrael.exe").c_str(), exe.c_str(), FALSE));
  if (message) write_file(exe.substr(0, exe.find_last_of(L'\\')) + L"\\message.txt", *message);
  return exe;
}

// One run of Ostrael.exe under this program's debugger, which collects its debug output.
class Debuggee {
 public:
  explicit Debuggee(const std::wstring& exe) {
    std::wstring directory = exe.substr(0, exe.find_last_of(L'\\') + 1);
    thread_ = std::thread([this, exe, directory] { debug_loop(exe, directory); });
    wait_until([this] { return started_.load(); });
  }
  ~Debuggee() {
    if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 99);
    thread_.join();
    if (process_) CloseHandle(process_);
  }

  DWORD pid() const { return pid_; }
  bool crashed() const { return crashed_; }
  // Closed as by its Close box; true once the process has ended.
  bool closes(HWND window) { return PostMessageW(window, WM_CLOSE, 0, 0) && exited(5s); }
  bool exited(std::chrono::milliseconds limit) { return process_ && WaitForSingleObject(process_, static_cast<DWORD>(ostrael::testing::time_limit(limit).count())) == WAIT_OBJECT_0; }
  DWORD exit_code() {
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
  }
  std::vector<std::string> debug_lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }

  // The visible main window of this process.
  HWND window() {
    HWND found = nullptr;
    std::pair<Debuggee*, HWND*> context(this, &found);
    wait_until([&] {
      found = nullptr;
      EnumWindows(find_main_window, reinterpret_cast<LPARAM>(&context));
      return found != nullptr;
    }, 30s);
    return found;
  }

 private:
  static BOOL CALLBACK find_main_window(HWND hwnd, LPARAM context) {
    auto* c = reinterpret_cast<std::pair<Debuggee*, HWND*>*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t name[64];
    if (pid == c->first->pid_ && GetClassNameW(hwnd, name, 64) && std::wstring(name) == win32::kWindowClass &&
        IsWindowVisible(hwnd)) {
      *c->second = hwnd;
      return FALSE;
    }
    return TRUE;
  }

  void debug_loop(const std::wstring& exe, const std::wstring& directory) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring command = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                        directory.c_str(), &si, &pi)) {
      started_ = true;
      return;
    }
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    CloseHandle(pi.hThread);
    started_ = true;
    for (;;) {
      DEBUG_EVENT event;
      if (!WaitForDebugEvent(&event, 200)) continue;
      DWORD status = DBG_CONTINUE;
      bool done = false;
      switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT: CloseHandle(event.u.CreateProcessInfo.hFile); break;
        case LOAD_DLL_DEBUG_EVENT: CloseHandle(event.u.LoadDll.hFile); break;
        case OUTPUT_DEBUG_STRING_EVENT: read_debug_string(event.u.DebugString); break;
        case EXCEPTION_DEBUG_EVENT:
          if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
            status = DBG_EXCEPTION_NOT_HANDLED;
            if (!event.u.Exception.dwFirstChance) crashed_ = true;
          }
          break;
        case EXIT_PROCESS_DEBUG_EVENT: done = true; break;
      }
      ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
      if (done) break;
    }
  }

  void read_debug_string(const OUTPUT_DEBUG_STRING_INFO& info) {
    std::size_t unit = info.fUnicode ? 2 : 1;
    std::string bytes(info.nDebugStringLength * unit, '\0');
    SIZE_T got = 0;
    ReadProcessMemory(process_, info.lpDebugStringData, bytes.data(), bytes.size(), &got);
    std::string text = info.fUnicode ? win32::to_utf8({reinterpret_cast<const wchar_t*>(bytes.data()), got / 2}) : bytes.substr(0, got);
    while (!text.empty() && (text.back() == '\0' || text.back() == '\n')) text.pop_back();
    std::lock_guard lock(mutex_);
    lines_.push_back(text);
  }

  std::thread thread_;
  std::atomic<bool> started_{false};
  std::atomic<bool> crashed_{false};
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

// The window of a run, read back through ordinary cross-process window messages.
struct Window {
  HWND hwnd;

  HWND control(std::size_t index) const { return win32_tests::control_window(hwnd, index); }
  // The control's index in the layout table, or the table's size for a window not in it.
  std::size_t which(HWND window) const {
    std::size_t i = 0;
    while (i < ui::kControls.size() && control(i) != window) ++i;
    return i;
  }
  HWND control(ui::ControlId id) const { return control(ui::control_index(id)); }
  // WM_GETTEXT itself: GetWindowTextW does not ask controls of other processes.
  std::wstring text(HWND control) const {
    auto length = SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
    std::wstring s(static_cast<std::size_t>(length) + 1, L'\0');
    auto n = SendMessageW(control, WM_GETTEXT, s.size(), reinterpret_cast<LPARAM>(s.data()));
    s.resize(static_cast<std::size_t>(n));
    return s;
  }
  std::vector<std::string> list_lines() const {
    HWND list = control(ui::ControlId::List1);
    std::vector<std::string> lines;
    auto count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      std::wstring line(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0)) + 1, L'\0');
      auto n = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line.data()));
      line.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
      lines.push_back(win32::to_utf8(line));
    }
    return lines;
  }
  bool text1_visible() const { return IsWindowVisible(control(ui::ControlId::Text1)); }
  // The control's rectangle in the main window's client coordinates.
  RECT client_rect_of(HWND control) const {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  POINT screen_centre(std::size_t index) const {
    ui::Rect r = ui::client_pixels(ui::kControls[index], static_cast<int>(GetDpiForWindow(hwnd)));
    POINT p{r.left + r.width / 2, r.top + r.height / 2};
    ClientToScreen(hwnd, &p);
    return p;
  }
  // Below the window's lower left corner, where no tooltip of the window shows.
  POINT away() const {
    RECT r;
    GetWindowRect(hwnd, &r);
    return {r.left + 5, r.bottom + 40};
  }
  HWND focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info);
    return info.hwndFocus;
  }
};

void mouse_button(DWORD flags, LONG dx = 0, LONG dy = 0) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi = {dx, dy, 0, flags, 0, 0};
  SendInput(1, &input, sizeof input);
}

void move_mouse(POINT p) {
  mouse_button(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, MulDiv(p.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1),
               MulDiv(p.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1));
  std::this_thread::sleep_for(100ms);
}

// Wine moves the pointer asynchronously: this waits until it is there.
bool point_at(POINT p) {
  move_mouse(p);
  return wait_until([&] {
    POINT at{};
    GetCursorPos(&at);
    return at.x == p.x && at.y == p.y;
  }, 2s);
}

void click(POINT p) {
  move_mouse(p);
  mouse_button(MOUSEEVENTF_LEFTDOWN);
  std::this_thread::sleep_for(50ms);
  mouse_button(MOUSEEVENTF_LEFTUP);
  std::this_thread::sleep_for(200ms);
}

// A press sent before the pointer arrives lands elsewhere.
void click_control(const Window& w, std::size_t index) {
  POINT p = w.screen_centre(index), at{};
  bool placed = point_at(p);
  GetCursorPos(&at);
  HWND under = WindowFromPoint(p);
  wchar_t name[64] = {};
  GetClassNameW(under, name, 64);
  if (!placed || under != w.control(index))
    std::printf("click %s: cursor %ld,%ld for %ld,%ld, under it %s\n", std::string(ui::control_name(ui::kControls[index].id)).c_str(), at.x, at.y, p.x, p.y, win32::to_utf8(name).c_str());
  click(p);
}

void press_key(WORD key) {
  INPUT input[2]{};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof input[0]);
  std::this_thread::sleep_for(200ms);
}

BOOL CALLBACK find_tooltip(HWND hwnd, LPARAM out) {
  wchar_t name[64];
  if (GetClassNameW(hwnd, name, 64) && std::wstring(name) == TOOLTIPS_CLASSW) *reinterpret_cast<HWND*>(out) = hwnd;
  return TRUE;
}

// The tooltip texts by tool window, read with TTM_ENUMTOOLSW through memory in the program's
// own address space, since the tooltip control writes into the caller's pointers.
std::vector<std::pair<HWND, std::string>> tooltips(const Window& w, DWORD pid) {
  std::vector<std::pair<HWND, std::string>> tools;
  HWND tip = nullptr;
  EnumThreadWindows(GetWindowThreadProcessId(w.hwnd, nullptr), find_tooltip, reinterpret_cast<LPARAM>(&tip));
  if (!tip) return tools;
  win32::UniqueKernelHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
  if (!process) return tools;
  constexpr std::size_t kTextChars = 256;
  void* remote = VirtualAllocEx(process.get(), nullptr, sizeof(TTTOOLINFOW) + kTextChars * 2, MEM_COMMIT, PAGE_READWRITE);
  auto count = SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.lpszText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote) + sizeof tool);
    WriteProcessMemory(process.get(), remote, &tool, sizeof tool, nullptr);
    if (!SendMessageW(tip, TTM_ENUMTOOLSW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote))) continue;
    wchar_t text[kTextChars]{};
    ReadProcessMemory(process.get(), remote, &tool, sizeof tool, nullptr);
    ReadProcessMemory(process.get(), static_cast<char*>(remote) + sizeof tool, text, sizeof text - 2, nullptr);
    tools.emplace_back(reinterpret_cast<HWND>(tool.uId), win32::to_utf8(text));
  }
  VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
  return tools;
}

// The screen's pixels in `r`, 0x00RRGGBB, top row first.
std::vector<std::uint32_t> screen_pixels(const RECT& r) {
  int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
  GdiFlush();
  std::vector<std::uint32_t> pixels(static_cast<std::uint32_t*>(bits), static_cast<std::uint32_t*>(bits) + width * height);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// The screen in `r`, over the window `hwnd` of this or another process, once the window has
// settled: every caption within `r` painted, and the same pixels in four captures 150 ms apart.
// The blinking caret shows as the face. Nothing is invalidated here, so what the window left
// unpainted shows.
std::vector<std::uint32_t> settled_pixels(HWND hwnd, const RECT& r) {
  const int width = r.right - r.left, height = r.bottom - r.top, dpi = static_cast<int>(GetDpiForWindow(hwnd));
  const std::uint32_t face = face_rgb();
  POINT client{0, 0};
  ClientToScreen(hwnd, &client);
  auto capture = [&] {
    pump();
    std::vector<std::uint32_t> pixels = screen_pixels(r);
    GUITHREADINFO thread{sizeof thread};
    if (GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &thread) && thread.hwndCaret) {
      MapWindowPoints(thread.hwndCaret, nullptr, reinterpret_cast<POINT*>(&thread.rcCaret), 2);
      for (int y = std::max(thread.rcCaret.top, r.top); y < std::min(thread.rcCaret.bottom, r.bottom); ++y)
        for (int x = std::max(thread.rcCaret.left, r.left); x < std::min(thread.rcCaret.right, r.right); ++x)
          pixels[std::size_t((y - r.top) * width + x - r.left)] = face;
    }
    return pixels;
  };
  auto captions_painted = [&](const std::vector<std::uint32_t>& pixels) {
    for (const ui::Control& c : ui::kControls) {
      ui::Rect label = ui::client_pixels(c, dpi);
      int left = client.x + label.left - r.left, top = client.y + label.top - r.top;
      if (c.type != ui::ControlType::Label || left < 0 || top < 0 || left + label.width > width || top + label.height > height)
        continue;
      bool ink = false;
      for (int y = top; y < top + label.height && !ink; ++y)
        for (int x = left; x < left + label.width && !ink; ++x) ink = (pixels[std::size_t(y * width + x)] & 0xFFFFFF) != face;
      if (!ink) return false;
    }
    return true;
  };
  auto [pixels, still] = ostrael::testing::settled(capture, captions_painted, [] { std::this_thread::sleep_for(150ms); }, 15s);
  EXPECT_TRUE(still) << "the window did not settle";
  return pixels;
}

// The window with its frame as the screen shows it, as a BMP the test driver turns into PNG.
void screenshot(const Window& w, const wchar_t* name) {
  std::wstring folder = env(L"OSTRAEL_E2E_ARTIFACTS");
  if (folder.empty()) return;
  RedrawWindow(w.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT r;
  GetWindowRect(w.hwnd, &r);
  int width = r.right - r.left, height = r.bottom - r.top;
  std::vector<std::uint32_t> pixels = settled_pixels(w.hwnd, r);
  DWORD stride = static_cast<DWORD>((width * 3 + 3) & ~3);
  BITMAPINFOHEADER header{sizeof header, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  BITMAPFILEHEADER file{0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof header};
  file.bfSize = file.bfOffBits + stride * static_cast<DWORD>(height);
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
  for (int y = height - 1; y >= 0; --y) {
    std::size_t row = bytes.size();
    for (int x = 0; x < width; ++x) bytes.append(reinterpret_cast<const char*>(&pixels[std::size_t(y * width + x)]), 3);
    bytes.resize(row + stride, '\0');
  }
  write_file(folder + L"\\" + name + L".bmp", bytes);
}

BOOL CALLBACK add_window(HWND hwnd, LPARAM out) {
  reinterpret_cast<std::set<HWND>*>(out)->insert(hwnd);
  return TRUE;
}

std::set<HWND> top_level_windows() {
  std::set<HWND> windows;
  EnumWindows(add_window, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// The running processes' program file names, by process id.
std::map<DWORD, std::wstring> processes() {
  std::map<DWORD, std::wstring> names;
  win32::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Process32FirstW(snapshot.get(), &entry); ok; ok = Process32NextW(snapshot.get(), &entry))
    names[entry.th32ProcessID] = entry.szExeFile;
  return names;
}

// Whether the process has loaded the DLL, by file name.
bool has_module(DWORD pid, const wchar_t* name) {
  win32::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid));
  MODULEENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Module32FirstW(snapshot.get(), &entry); ok; ok = Module32NextW(snapshot.get(), &entry))
    if (lstrcmpiW(entry.szModule, name) == 0) return true;
  return false;
}

// The report's lines 2 to 6 for the mapped drive, as this program finds them itself.
struct DriveFacts {
  std::string letter, type, file_system;
  double free_kb;
};

DriveFacts drive_facts() {
  std::wstring root = drive() + L"\\";
  DriveFacts facts;
  facts.letter = win32::to_utf8(drive().substr(0, 1));
  UINT type = GetDriveTypeW(root.c_str());
  facts.type = std::to_string(type >= DRIVE_REMOVABLE && type <= DRIVE_RAMDISK ? type - 1 : 0);
  wchar_t fs[64] = {};
  GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, fs, 64);
  facts.file_system = win32::to_utf8(fs);
  ULARGE_INTEGER free{};
  GetDiskFreeSpaceExW(root.c_str(), &free, nullptr, nullptr);
  facts.free_kb = static_cast<double>(free.QuadPart) / 1024;
  return facts;
}

double kilobytes_of(const std::string& line) {
  std::string digits;
  for (char c : line)
    if (c >= '0' && c <= '9') digits += c;
  return digits.empty() ? -1 : std::stod(digits);
}

// What Wine's scripting runtime gives: lines 1 to 6, then the missing Drive.Path ends the
// handler, the failure goes to the debug output and the message view stays where it was.
void expect_report_as_far_as_wine_goes(Window& w, Debuggee& run, std::size_t debug_lines_before) {
  ASSERT_TRUE(wait_until([&] { return run.debug_lines().size() > debug_lines_before; })) << "no failure on the debug output";
  auto lines = w.list_lines();
  DriveFacts facts = drive_facts();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "[Pen Information]");
  EXPECT_EQ(lines[1], "Pen Letter: " + facts.letter);
  EXPECT_EQ(lines[2], "Pen Type: " + facts.type);
  EXPECT_EQ(lines[3], "File System: " + facts.file_system);
  EXPECT_EQ(lines[4].rfind("Free Space: ", 0), 0u) << lines[4];
  EXPECT_EQ(lines[4].substr(lines[4].size() - 3), " Kb");
  // Free space moves while other programs write to the same disk.
  EXPECT_NEAR(kilobytes_of(lines[4]), facts.free_kb, facts.free_kb * 0.01 + 1024) << lines[4];
  EXPECT_EQ(lines[5], "Pen Ready: True");
  auto debug = run.debug_lines();
  ASSERT_EQ(debug.size(), debug_lines_before + 1);
  EXPECT_EQ(debug.back().rfind("Image3_Click: Path failed (0x80004001)", 0), 0u) << debug.back();
}

std::wstring crlf(const std::string& utf8) { return win32::with_crlf_breaks(win32::to_utf16(utf8)); }

VARIANT child_id(long id) {
  VARIANT v{};
  V_VT(&v) = VT_I4;
  V_I4(&v) = id;
  return v;
}

// What a screen reader reads of one object over MSAA, as one line of the tree.
std::string reader_line(IAccessible* object, long child = CHILDID_SELF) {
  VARIANT id = child_id(child), role{}, state{};
  auto text = [&](auto get) {
    BSTR b = nullptr;
    std::wstring s = SUCCEEDED((object->*get)(id, &b)) && b ? std::wstring(b, SysStringLen(b)) : std::wstring();
    SysFreeString(b);
    return L"\"" + s + L"\"";
  };
  wchar_t words[64] = L"";
  object->get_accRole(id, &role);
  GetRoleTextW(V_VT(&role) == VT_I4 ? static_cast<DWORD>(V_I4(&role)) : 0, words, 64);
  std::wstring line = std::wstring(words) + L" " + text(&IAccessible::get_accName) + L" description=" +
                      text(&IAccessible::get_accDescription) + L" states=", states;
  object->get_accState(id, &state);
  for (DWORD bit = 1; V_VT(&state) == VT_I4 && bit; bit <<= 1)
    if ((static_cast<DWORD>(V_I4(&state)) & bit) && GetStateTextW(bit, words, 64)) states += (states.empty() ? L"" : L",") + std::wstring(words);
  VariantClear(&role);
  VariantClear(&state);
  return win32::to_utf8(line + (states.empty() ? L"none" : states) + L" action=" + text(&IAccessible::get_accDefaultAction));
}

// The window's client object, asked for from this process as a screen reader asks.
win32::ComPtr<IAccessible> client_object(HWND hwnd) {
  win32::ComPtr<IAccessible> object;
  HRESULT hr = AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible), object.put_void());
  EXPECT_TRUE(SUCCEEDED(hr) && object) << std::hex << hr;
  return object;
}

// The MSAA tree a screen reader walks, one line per object in the order it meets them. A child
// window stands for its client object, as readers show it; a window not in the table goes by its
// class.
std::string reader_tree(const Window& w, IAccessible* parent, int depth) {
  std::string tree;
  long count = 0, got = 0;
  if (FAILED(parent->get_accChildCount(&count)) || count <= 0) return tree;
  std::vector<VARIANT> children(static_cast<std::size_t>(count));
  if (FAILED(AccessibleChildren(parent, 0, count, children.data(), &got))) return tree;
  for (long i = 0; i < got; ++i) {
    VARIANT& child = children[static_cast<std::size_t>(i)];
    std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    win32::ComPtr<IAccessible> window;
    HWND hwnd = nullptr;
    if (V_VT(&child) == VT_I4) tree += indent + "element " + reader_line(parent, V_I4(&child)) + "\n";
    if (V_VT(&child) == VT_DISPATCH && V_DISPATCH(&child) &&
        SUCCEEDED(V_DISPATCH(&child)->QueryInterface(__uuidof(IAccessible), window.put_void())) &&
        SUCCEEDED(WindowFromAccessibleObject(window.get(), &hwnd)) && hwnd) {
      std::size_t k = w.which(hwnd);
      wchar_t class_name[64] = L"";
      GetClassNameW(hwnd, class_name, 64);
      std::string name = k < ui::kControls.size() ? std::string(ui::control_name(ui::kControls[k].id)) : win32::to_utf8(class_name);
      if (k < ui::kControls.size() && ui::kControls[k].index >= 0) name += "(" + std::to_string(ui::kControls[k].index) + ")";
      auto object = client_object(hwnd);
      tree += indent + name + ": " + (object ? reader_line(object.get()) : "(none)") + "\n";
      if (object) tree += reader_tree(w, object.get(), depth + 1);
    }
    VariantClear(&child);
  }
  return tree;
}

class EndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    if (drive().empty()) GTEST_SKIP() << "OSTRAEL_E2E_DRIVE is not set; run through run_end_to_end.sh";
  }
};

TEST_F(EndToEnd, FromTheRootTheWholeWindowReportAndCommands) {
  const std::string message = "Hello finder!\r\nThis pen belongs to Ann.\nLine three\rLine four \xe2\x80\x94 Gr\xc3\xbc\xc3\x9f" "e \xe2\x98\x83\n";
  Debuggee run(prepare(L"", message));
  Window w{run.window()};
  ASSERT_TRUE(w.hwnd) << "no window";

  // The form.
  EXPECT_EQ(w.text(w.hwnd), L"Ostrael ");
  RECT client;
  GetClientRect(w.hwnd, &client);
  EXPECT_EQ(client.right, ui::twips_to_pixels(ui::kForm.client_width_twips));
  EXPECT_EQ(client.bottom, ui::twips_to_pixels(ui::kForm.client_height_twips));
  LONG style = GetWindowLongW(w.hwnd, GWL_STYLE);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);

  // Every control where the table puts it, of the right kind; Text1 above List1 in Frame1.
  for (std::size_t i = 0; i < ui::kControls.size(); ++i) {
    const ui::Control& c = ui::kControls[i];
    HWND h = w.control(i);
    ASSERT_TRUE(h) << ui::control_name(c.id);
    ui::Rect r = ui::client_pixels(c);
    RECT got = w.client_rect_of(h);
    EXPECT_EQ(got.left, r.left) << ui::control_name(c.id) << c.index;
    EXPECT_EQ(got.top, r.top) << ui::control_name(c.id) << c.index;
    EXPECT_EQ(got.right - got.left, r.width) << ui::control_name(c.id) << c.index;
    EXPECT_EQ(got.bottom - got.top, r.height) << ui::control_name(c.id) << c.index;
    EXPECT_TRUE(IsWindowVisible(h));
    if (c.type == ui::ControlType::Label) EXPECT_EQ(w.text(h), win32::to_utf16(c.text));
    EXPECT_EQ(static_cast<bool>(GetWindowLongW(h, GWL_STYLE) & WS_TABSTOP), c.tab_stop) << ui::control_name(c.id);
  }
  // Inside Frame1, top first: Text1's hidden label, Text1, List1's hidden label, List1. A label
  // names the control after it only with nothing between that takes the focus or starts a group.
  HWND frame = w.control(ui::ControlId::Frame1), text1 = w.control(ui::ControlId::Text1);
  EXPECT_EQ(GetWindow(frame, GW_CHILD), GetWindow(text1, GW_HWNDPREV));
  EXPECT_EQ(GetWindow(GetWindow(text1, GW_HWNDNEXT), GW_HWNDNEXT), w.control(ui::ControlId::List1));
  for (ui::ControlId id : {ui::ControlId::Text1, ui::ControlId::List1}) {
    HWND label = GetWindow(w.control(id), GW_HWNDPREV);
    wchar_t name[16] = L"";
    GetClassNameW(label, name, 16);
    EXPECT_EQ(lstrcmpiW(name, L"Static"), 0) << ui::control_name(id);
    EXPECT_FALSE(GetWindowLongW(label, GWL_STYLE) & (WS_VISIBLE | WS_TABSTOP | WS_GROUP)) << ui::control_name(id);
    EXPECT_EQ(win32::to_utf8(w.text(label)), ui::accessible_name(ui::control(id)));
  }
  EXPECT_FALSE(GetWindowLongW(w.control(ui::ControlId::List1), GWL_STYLE) & LBS_SORT);

  // Text1 shows the message with every break as CRLF, covers the empty list, and has the focus.
  EXPECT_EQ(w.text(w.control(ui::ControlId::Text1)), crlf(message));
  EXPECT_TRUE(w.text1_visible());
  EXPECT_TRUE(w.list_lines().empty());
  EXPECT_EQ(w.focus(), w.control(ui::ControlId::Text1));

  // Tooltips on the four pictures only.
  std::vector<std::pair<HWND, std::string>> tools = tooltips(w, run.pid()), expected_tools;
  for (std::size_t i = 0; i < ui::kControls.size(); ++i)
    if (!ui::kControls[i].tooltip.empty()) expected_tools.emplace_back(w.control(i), ui::kControls[i].tooltip);
  std::ranges::sort(tools);
  std::ranges::sort(expected_tools);
  EXPECT_EQ(tools, expected_tools);

  // The hand over each picture, the arrow over a caption. Under Wine a pointer moved onto a
  // control now and then brings it no mouse move, and its cursor stays the one before: nudge the
  // pointer by a pixel until the cursor the move should bring shows, within a limit.
  auto cursor_at = [](POINT p, const std::function<bool(HCURSOR)>& expected) {
    CURSORINFO info{};
    info.cbSize = sizeof info;
    for (int nudge = 0; nudge < 8; ++nudge) {
      point_at({p.x + nudge % 2, p.y});
      std::this_thread::sleep_for(200ms);  // and the window under it has set its cursor
      if (wait_until([&] { return GetCursorInfo(&info) && expected(info.hCursor); }, 500ms)) break;
    }
    return info.hCursor;
  };
  HCURSOR over_label = cursor_at(w.screen_centre(ui::control_index(ui::ControlId::Label1, 0)), [](HCURSOR) { return true; });
  HCURSOR over_picture = cursor_at(w.screen_centre(ui::control_index(ui::ControlId::Image2)), [&](HCURSOR c) { return c != over_label; });
  HCURSOR over_other_picture = cursor_at(w.screen_centre(ui::control_index(ui::ControlId::Image3)), [&](HCURSOR c) { return c == over_picture; });
  EXPECT_TRUE(over_label);
  EXPECT_NE(over_picture, over_label);
  EXPECT_EQ(over_picture, over_other_picture);

  // The pointer off the window, so that no tooltip covers the first picture of the window.
  move_mouse(w.away());
  screenshot(w, L"message-view");

  // Keyboard: typing changes nothing; Tab moves between Text1 and List1 only.
  click(w.screen_centre(ui::control_index(ui::ControlId::Text1)));
  press_key('X');
  EXPECT_EQ(w.text(w.control(ui::ControlId::Text1)), crlf(message));
  press_key(VK_TAB);
  EXPECT_EQ(w.focus(), w.control(ui::ControlId::List1));
  press_key(VK_TAB);
  EXPECT_EQ(w.focus(), w.control(ui::ControlId::Text1));

  // A caption runs no code.
  click_control(w, ui::control_index(ui::ControlId::Label1, 2));
  EXPECT_TRUE(w.text1_visible());
  EXPECT_TRUE(w.list_lines().empty());

  // Pen Info, twice: six lines each time, never twelve.
  for (int round = 0; round < 2; ++round) {
    std::size_t before = run.debug_lines().size();
    click_control(w, ui::control_index(ui::ControlId::Image3));
    expect_report_as_far_as_wine_goes(w, run, before);
    EXPECT_TRUE(w.text1_visible());
  }
  screenshot(w, L"after-pen-info");
  // Under Wine the message still covers the list; uncovered by hand, only to look at the lines.
  ShowWindow(w.control(ui::ControlId::Text1), SW_HIDE);
  screenshot(w, L"after-pen-info-list-uncovered");

  // Owner Message shows the message again and leaves the list alone.
  click_control(w, ui::control_index(ui::ControlId::Image2));
  EXPECT_TRUE(wait_until([&] { return w.text1_visible(); }));
  EXPECT_EQ(w.list_lines().size(), 6u);

  // Open Pen asks the shell: a new process appears; the window stays as it was.
  std::wstring caption = w.text(w.hwnd);
  RECT before_rect;
  GetWindowRect(w.hwnd, &before_rect);
  auto lines = w.list_lines();
  std::map<DWORD, std::wstring> before = processes();
  std::set<HWND> windows_before = top_level_windows();
  std::size_t debug_before = run.debug_lines().size();
  click_control(w, ui::control_index(ui::ControlId::Image4));
  DWORD shell_pid = 0;
  EXPECT_TRUE(wait_until([&] {
    for (const auto& [pid, name] : processes())
      if (!before.count(pid)) shell_pid = pid;
    return shell_pid != 0;
  })) << "the shell started nothing";
  if (shell_pid) {
    std::printf("Open Pen started %s\n", win32::to_utf8(processes()[shell_pid]).c_str());
    std::this_thread::sleep_for(1s);
    // Gone before the next test, so that its window cannot take the next clicks.
    win32::UniqueKernelHandle shell(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, shell_pid));
    if (shell) {
      TerminateProcess(shell.get(), 0);
      WaitForSingleObject(shell.get(), 5000);
    }
  }
  // The folder window may belong to the desktop's own explorer rather than the new process.
  DWORD ostrael_pid = 0;
  GetWindowThreadProcessId(w.hwnd, &ostrael_pid);
  for (HWND other : top_level_windows()) {
    DWORD pid = 0;
    GetWindowThreadProcessId(other, &pid);
    if (!windows_before.count(other) && pid != ostrael_pid && IsWindowVisible(other)) {
      PostMessageW(other, WM_CLOSE, 0, 0);
      wait_until([other] { return !IsWindow(other) || !IsWindowVisible(other); }, 5s);
    }
  }
  EXPECT_TRUE(IsWindow(w.hwnd));
  EXPECT_EQ(w.text(w.hwnd), caption);
  RECT after_rect;
  GetWindowRect(w.hwnd, &after_rect);
  EXPECT_TRUE(EqualRect(&before_rect, &after_rect));
  EXPECT_EQ(w.list_lines(), lines);
  EXPECT_TRUE(w.text1_visible());
  EXPECT_EQ(w.text(w.control(ui::ControlId::Text1)), crlf(message));
  EXPECT_EQ(run.debug_lines().size(), debug_before);

  // Close ends the process at once.
  click_control(w, ui::control_index(ui::ControlId::Image1));
  EXPECT_TRUE(run.exited(5s));
  EXPECT_EQ(run.exit_code(), 0u);
  EXPECT_FALSE(run.crashed());
  DeleteFileW((drive() + L"\\message.txt").c_str());
}

TEST_F(EndToEnd, FromASubdirectoryWithSpacesAndNonAsciiName) {
  std::wstring utf16 = L"\uFEFFUTF-16 message \u2603\nsecond line";
  Debuggee run(prepare(L"Sub dir \u00dcn\u00ef \u2603",
                       std::string(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2)));
  Window w{run.window()};
  ASSERT_TRUE(w.hwnd);
  EXPECT_EQ(w.text(w.control(ui::ControlId::Text1)), L"UTF-16 message \u2603\r\nsecond line");
  click_control(w, ui::control_index(ui::ControlId::Image3));
  expect_report_as_far_as_wine_goes(w, run, 0);
  click_control(w, ui::control_index(ui::ControlId::Image1));
  EXPECT_TRUE(run.exited(5s));
  EXPECT_FALSE(run.crashed());
}

// Each bad message.txt still gives a window, an exact view and no crash.
TEST_F(EndToEnd, BadMessageFilesGiveSoundBehaviour) {
  std::string big;
  while (big.size() < 5 * 1024 * 1024) big += "The quick brown fox jumps over the lazy dog " + std::to_string(big.size()) + "\n";
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 7919 + i / 13) & 0xFF);

  struct Case {
    const wchar_t* folder;
    std::function<void(const std::wstring&)> make;
    std::function<void(const std::wstring&)> check;
    std::size_t length = 0;  // of a message long enough to go into Text1 in pieces
  };
  const auto none = [](const std::wstring&) {};
  const auto shown_empty = [](const std::wstring& text) { EXPECT_EQ(text, L""); };
  const Case cases[] = {
      {L"no message", none, shown_empty},
      {L"directory", [](const std::wstring& m) { CreateDirectoryW(m.c_str(), nullptr); }, shown_empty},
      {L"empty", [](const std::wstring& m) { write_file(m, ""); }, shown_empty},
      // Made by the driver on the Unix side: the start must not wait for a writer.
      {L"fifo", none, shown_empty},
      {L"five MiB", [&](const std::wstring& m) { write_file(m, big); },
       [&](const std::wstring& text) {
         // The first MiB, past the EDIT's default 32K limit, with every LF shown as a break.
         std::wstring first = crlf(big.substr(0, 1024 * 1024));
         EXPECT_EQ(text.size(), first.size());
         EXPECT_TRUE(text == first);
       },
       crlf(big.substr(0, 1024 * 1024)).size()},
      {L"binary", [&](const std::wstring& m) { write_file(m, binary); },
       [](const std::wstring& text) { EXPECT_FALSE(text.empty()); }},
  };
  // 64-bit Wine 8 reads past a font's positioning table while the EDIT control shapes these bytes,
  // and the program dies inside Wine; 32-bit Wine and Windows show them.
  const bool wine_64 = sizeof(void*) == 8 && GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version");
  for (const Case& c : cases) {
    SCOPED_TRACE(win32::to_utf8(c.folder));
    if (wine_64 && std::wstring_view(c.folder) == L"binary") {
      std::printf("[  SKIPPED ] the binary message under 64-bit Wine, whose text shaping crashes on it\n");
      continue;
    }
    std::wstring exe = prepare(c.folder);
    std::wstring message = exe.substr(0, exe.find_last_of(L'\\')) + L"\\message.txt";
    c.make(message);
    Debuggee run(exe);
    Window w{run.window()};
    ASSERT_TRUE(w.hwnd);
    HWND text1 = w.control(ui::ControlId::Text1);
    if (c.length)
      EXPECT_TRUE(wait_until([&] { return static_cast<std::size_t>(SendMessageW(text1, WM_GETTEXTLENGTH, 0, 0)) >= c.length; }, 90s))
          << "Text1 stopped at " << SendMessageW(text1, WM_GETTEXTLENGTH, 0, 0) << " of " << c.length;
    c.check(w.text(text1));
    // However long the message, the view shows its beginning with the caret before it.
    EXPECT_EQ(SendMessageW(text1, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    EXPECT_EQ(SendMessageW(text1, EM_GETSEL, 0, 0), 0);
    EXPECT_TRUE(w.text1_visible());
    EXPECT_TRUE(run.debug_lines().empty());
    EXPECT_TRUE(run.closes(w.hwnd));
    EXPECT_FALSE(run.crashed());
  }
}

// A long message fills Text1 while the window is already up: where the reader scrolls to and
// what they select meanwhile stays put, and the text ends up whole.
TEST_F(EndToEnd, ALongMessageKeepsTheViewWhileItFillsIn) {
  std::string message;
  for (int i = 0; message.size() < 1000 * 1024; ++i)  // under the 1 MiB the program reads
    message += "Line " + std::to_string(i) + (i % 5 ? " of the owner's message\r\n" : " \xe2\x98\x83 \xf0\x9f\x98\x80\n");
  std::wstring expected = crlf(message);
  Debuggee run(prepare(L"long message", message));
  Window w{run.window()};
  ASSERT_TRUE(w.hwnd);
  HWND text1 = w.control(ui::ControlId::Text1);
  auto length = [&] { return static_cast<std::size_t>(SendMessageW(text1, WM_GETTEXTLENGTH, 0, 0)); };
  // The window is up with the start of the message in view.
  EXPECT_EQ(w.text(text1).substr(0, 100), expected.substr(0, 100));
  std::size_t when_scrolled = length();
  // The selection first: EM_SETSEL scrolls the caret into view.
  SendMessageW(text1, EM_SETSEL, 7, 12);
  SendMessageW(text1, EM_LINESCROLL, 0, 10);
  ASSERT_EQ(SendMessageW(text1, EM_GETFIRSTVISIBLELINE, 0, 0), 10);
  std::printf("scrolled with %zu of %zu units in Text1\n", when_scrolled, expected.size());
  ASSERT_TRUE(wait_until([&] { return length() >= expected.size(); }, 90s)) << "Text1 stopped at " << length();
  EXPECT_EQ(SendMessageW(text1, EM_GETFIRSTVISIBLELINE, 0, 0), 10);
  EXPECT_EQ(SendMessageW(text1, EM_GETSEL, 0, 0), MAKELONG(7, 12));
  std::wstring text = w.text(text1);
  EXPECT_EQ(text.size(), expected.size());
  EXPECT_TRUE(text == expected);
  EXPECT_TRUE(run.closes(w.hwnd));
  EXPECT_FALSE(run.crashed());
}

// A pen made by tools/make-pen.sh (laid out by the driver): the template message shows as it
// stands in the file, without its byte-order mark and with every line break.
TEST_F(EndToEnd, APenMadeForAnOwnerShowsTheTemplateMessage) {
  std::wstring folder = drive() + L"\\made";
  std::string bytes = read_file(folder + L"\\message.txt");
  ASSERT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF") << "the driver did not lay out the pen";

  Debuggee run(folder + L"\\Ostrael.exe");
  Window w{run.window()};
  ASSERT_TRUE(w.hwnd);
  std::wstring text = w.text(w.control(ui::ControlId::Text1));
  EXPECT_EQ(text, win32::to_utf16(bytes.substr(3)));
  EXPECT_EQ(text.rfind(L"If you found this drive\u2026\r\n", 0), 0u);
  EXPECT_TRUE(run.closes(w.hwnd));
}

// Read as a screen reader reads it, from this second process over MSAA. The tree it walks is kept
// in reference/msaa-tree.txt: four push buttons from left to right, named by their captions and
// described by their tooltips, and Text1 named by its hidden label through the system's own
// proxy (Wine has none for list boxes, so List1 is a nameless client there). Each picture is
// pressed through its default action as if clicked.
TEST_F(EndToEnd, AScreenReaderHearsEveryControlAndPressesThePictures) {
  const std::string message = "Hello finder!\nThis pen belongs to Ann.\n";
  Debuggee run(prepare(L"screen reader", message));
  Window w{run.window()};
  ASSERT_TRUE(w.hwnd);
  const std::size_t information = ui::control_index(ui::ControlId::Image3);

  // What a sighted finder sees, before any reader asks: at rest, pointing at a picture and
  // pressing it. Released where it was pressed, it is the mouse's Pen Info the reader's is
  // measured against: moved off first, Wine sometimes still releases it on the picture.
  ASSERT_TRUE(point_at(w.away()));
  screenshot(w, L"at-rest");
  ASSERT_TRUE(point_at(w.screen_centre(information)));
  EXPECT_TRUE(wait_until([&] {
    HWND tip = nullptr;
    EnumThreadWindows(GetWindowThreadProcessId(w.hwnd, nullptr), find_tooltip, reinterpret_cast<LPARAM>(&tip));
    return tip && IsWindowVisible(tip);
  })) << "the tooltip did not show";
  screenshot(w, L"pointer-over-picture");
  mouse_button(MOUSEEVENTF_LEFTDOWN);
  screenshot(w, L"during-press");
  std::size_t before = run.debug_lines().size();
  mouse_button(MOUSEEVENTF_LEFTUP);
  expect_report_as_far_as_wine_goes(w, run, before);
  const std::vector<std::string> by_mouse = w.list_lines();
  const bool text1_by_mouse = w.text1_visible();

  // Nothing of the accessibility runtime loads before a reader asks.
  EXPECT_FALSE(has_module(run.pid(), L"oleacc.dll"));
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    auto form = client_object(w.hwnd);
    ASSERT_TRUE(form);
    std::string tree = "form: " + reader_line(form.get()) + "\n" + reader_tree(w, form.get(), 1);
    if (std::wstring folder = env(L"OSTRAEL_E2E_ARTIFACTS"); !folder.empty()) write_file(folder + L"\\msaa-tree.txt", tree);
    EXPECT_TRUE(has_module(run.pid(), L"oleacc.dll"));

    // Text1 and List1 leave WM_GETOBJECT to the system, whose own proxies serve them.
    for (ui::ControlId id : {ui::ControlId::Text1, ui::ControlId::List1})
      EXPECT_EQ(SendMessageW(w.control(id), WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT)), 0);

    // A picture's object is its own (PictureObject.OffersNoInterfaceButItsOwn): without
    // IOleWindow a reader still finds the picture's window, through the object's parent.
    auto picture = client_object(w.control(information));
    ASSERT_TRUE(picture);
    HWND found = nullptr;
    EXPECT_EQ(WindowFromAccessibleObject(picture.get(), &found), S_OK);
    EXPECT_EQ(found, w.control(information));
    // A late-bound reader hears what the early-bound one does; IDispatch knows no other interface.
    VARIANT self = child_id(CHILDID_SELF), name{};
    DISPPARAMS args{&self, nullptr, 1, 0};
    EXPECT_EQ(picture->Invoke(DISPID_ACC_NAME, __uuidof(IAccessible), LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &args, &name,
                              nullptr, nullptr), DISP_E_UNKNOWNINTERFACE);
    ASSERT_EQ(picture->Invoke(DISPID_ACC_NAME, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &args, &name, nullptr,
                              nullptr), S_OK);
    EXPECT_EQ(V_VT(&name) == VT_BSTR ? win32::to_utf8(V_BSTR(&name)) : "", ui::accessible_name(ui::kControls[information]));
    VariantClear(&name);

    // Pen Info from the reader gives what the mouse gave: six lines, a failure on the debug
    // output and the message left in front.
    SendMessageW(w.control(ui::ControlId::List1), LB_RESETCONTENT, 0, 0);
    before = run.debug_lines().size();
    EXPECT_EQ(picture->accDoDefaultAction(self), S_OK);
    expect_report_as_far_as_wine_goes(w, run, before);
    EXPECT_EQ(w.text1_visible(), text1_by_mouse);
    std::vector<std::string> by_reader = w.list_lines();
    ASSERT_EQ(by_reader.size(), by_mouse.size());
    for (std::size_t i = 0; i < by_reader.size(); ++i)
      if (by_reader[i].rfind("Free Space: ", 0) != 0) EXPECT_EQ(by_reader[i], by_mouse[i]);

    // Message brings the message view back in front. Pressed while a window of another program
    // is active, it leaves that one in front, and the focus the list had goes to the message when
    // the window is activated again.
    ShowWindow(w.control(ui::ControlId::Text1), SW_HIDE);
    click_control(w, ui::control_index(ui::ControlId::List1));
    ASSERT_EQ(w.focus(), w.control(ui::ControlId::List1));
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(SetForegroundWindow(other));
    EXPECT_EQ(client_object(w.control(ui::control_index(ui::ControlId::Image2)))->accDoDefaultAction(self), S_OK);
    EXPECT_TRUE(wait_until([&] { return w.text1_visible(); }));
    EXPECT_EQ(GetForegroundWindow(), other);
    SetForegroundWindow(w.hwnd);
    EXPECT_TRUE(wait_until([&] { return w.focus() == w.control(ui::ControlId::Text1); }));
    DestroyWindow(other);

    // Close ends the program. Wine's RPC sends the reply from a thread of its own, which the
    // program's end can overtake; a handler run inside the call would never reply at all.
    HRESULT closed = client_object(w.control(ui::control_index(ui::ControlId::Image1)))->accDoDefaultAction(self);
    EXPECT_TRUE(closed == S_OK || closed == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED)) << std::hex << closed;
    EXPECT_TRUE(run.exited(5s));
    EXPECT_EQ(run.exit_code(), 0u);
    EXPECT_FALSE(run.crashed());
  }
  CoUninitialize();
}

// Where COM asks an object how to marshal it, in the object's own process, a picture's object
// has no IMarshal, IStdMarshalInfo or IAgileObject of the standard object's to offer: it goes to
// the reader as itself. A reader's proxy answers IMarshal itself, so this is asked in-process.
TEST(PictureObject, OffersNoInterfaceButItsOwn) {
  HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 48, 48, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(window);
  LRESULT answer = win32::answer_get_object(window, ui::control(ui::ControlId::Image3), 0, OBJID_CLIENT);
  ASSERT_GT(answer, 0);
  win32::ComPtr<IAccessible> object;
  ASSERT_EQ(ObjectFromLresult(answer, __uuidof(IAccessible), 0, object.put_void()), S_OK);
  for (const IID& iid : {IID_IMarshal, IID_IStdMarshalInfo, __uuidof(IAgileObject), IID_IEnumVARIANT, IID_IOleWindow}) {
    void* other = &other;
    EXPECT_EQ(object->QueryInterface(iid, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
  }
  object.reset();
  DestroyWindow(window);
}

// Each picture of the window `hwnd` at `dpi` on screen is the committed art without its grey, laid
// on `face`: the edges fade into the face, whatever its colour, and the inside stays the picture.
void expect_pictures_laid_on(HWND hwnd, int dpi, std::uint32_t face, const std::vector<ui::Control>& only = {}) {
  for (const ui::Control& c : only.empty() ? std::vector<ui::Control>(ui::kControls.begin(), ui::kControls.end()) : only) {
    if (c.type != ui::ControlType::Image) continue;
    const std::wstring assets = env(L"OSTRAEL_E2E_ASSETS") + L"\\";
    std::deque<std::string> files;
    auto finished = ui::finished_picture(c, dpi, [&](std::string_view file) -> ostrael::Result<std::string_view> {
      return std::string_view(files.emplace_back(read_file(assets + win32::to_utf16(file))));
    });
    ASSERT_TRUE(finished) << ostrael::describe(finished.failure());
    const ui::Picture want = ui::laid_on(*finished, face);
    ui::Rect r = ui::client_pixels(c, dpi);
    POINT at{r.left, r.top};
    ClientToScreen(hwnd, &at);
    std::vector<std::uint32_t> shown = screen_pixels({at.x, at.y, at.x + r.width, at.y + r.height});
    ASSERT_EQ(shown.size(), want.pixels.size());
    std::size_t wrong = 0;
    for (std::size_t k = 0; k < shown.size(); ++k) wrong += (shown[k] & 0xFFFFFF) != (want.pixels[k] & 0xFFFFFF);
    EXPECT_EQ(wrong, 0u) << ui::control_name(c.id) << " on " << std::hex << face;
  }
}

// At 120, 144 and 192 dpi (the driver runs this at each), each picture on screen is the drawing
// made for its size, pixel for pixel laid on the button face; at 96 dpi the kept screenshots show
// it. The driver also runs it in a prefix of its own with a high-contrast scheme, the face and the
// window black and their text white: there the edges fade into the black, and the window is kept
// as reference/at-rest-dark.png.
TEST_F(EndToEnd, ThePicturesAreMadeForTheDpiAndLaidOnTheFace) {
  const bool dark = !(face_rgb() & 0x808080);
  if (GetDpiForSystem() == ui::kDesignDpi && !dark) GTEST_SKIP() << "the screenshots compared at 96 dpi show the pictures";
  Debuggee run(prepare(dark ? L"dark" : L"dpi", "Hello finder!\nThis pen belongs to Ann.\n"));
  Window w{run.window()};
  ASSERT_TRUE(w.hwnd);
  const int dpi = static_cast<int>(GetDpiForWindow(w.hwnd));
  move_mouse(w.away());  // at 200 % below the window is off the desktop; it stops at the edge
  screenshot(w, (dark ? std::wstring(L"at-rest-dark") : L"at-rest-" + std::to_wstring(dpi)).c_str());
  expect_pictures_laid_on(w.hwnd, dpi, face_rgb());
  EXPECT_TRUE(run.closes(w.hwnd));
}

// The program's window made in this process as the program makes it, with the art of the program
// on the drive, since Wine shows another process a cursor's handle but not its bitmaps. Each
// window is destroyed and the classes it registered unregistered after the test, so that these
// tests pass in any order.
class InThisProcess : public EndToEnd {
 protected:
  void SetUp() override {
    EndToEnd::SetUp();
    program_ = IsSkipped() ? nullptr : LoadLibraryExW((drive() + L"\\Ostrael.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_TRUE(program_ || IsSkipped());
  }
  void TearDown() override {
    while (!hosted_.empty()) close(hosted_.back()->window);
    if (program_) FreeLibrary(program_);
  }

  // Made and shown with the screenshots' message, from the program's art, or with `art` false
  // from the harness's, which has none, so that its pictures fail.
  win32::MainWindow& open(bool art = true) {
    Hosted& h = *hosted_.emplace_back(new Hosted{art ? program_ : GetModuleHandleW(nullptr)});
    EXPECT_TRUE(h.window.create());
    wchar_t name[64] = L"";
    for (HWND w : {h.window.hwnd(), win32_tests::control_window(h.window.hwnd(), ui::ControlId::Image1)})
      if (GetClassNameW(w, name, 64)) h.classes.emplace_back(name);
    const ostrael::Status loaded = h.pictures.load(h.art, h.window.dpi());
    EXPECT_EQ(static_cast<bool>(loaded), art) << (loaded ? "" : ostrael::describe(loaded.failure()));
    (void)h.window.set_text1_text("Hello finder!\nThis pen belongs to Ann.\n");
    h.window.show();
    return h.window;
  }
  void close(win32::MainWindow& window) {
    auto h = std::find_if(hosted_.begin(), hosted_.end(), [&](const auto& h) { return &h->window == &window; });
    DestroyWindow(window.hwnd());
    for (const std::wstring& name : (*h)->classes) EXPECT_TRUE(UnregisterClassW(name.c_str(), (*h)->art));
    hosted_.erase(h);
  }

 private:
  struct Hosted {
    HINSTANCE art;
    win32::Pictures pictures{};
    win32::MainWindow window{art, pictures};
    std::vector<std::wstring> classes{};
  };
  HMODULE program_ = nullptr;
  std::vector<std::unique_ptr<Hosted>> hosted_;
};

// The hand a picture shows has the size Windows gives a cursor at the window's dpi. The focus
// follows the view that shows: at once while the window is active; while another is, as when a
// reader presses a picture, only where it goes back to on activation, the other staying in front.
TEST_F(InThisProcess, TheHandFitsTheDpiAndTheFocusFollowsTheView) {
  win32::MainWindow& window = open();
  Window w{window.hwnd()};
  HWND picture = w.control(ui::ControlId::Image2);
  SendMessageW(picture, WM_SETCURSOR, reinterpret_cast<WPARAM>(picture), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  ICONINFO hand{};
  BITMAP mask{};
  ASSERT_TRUE(GetIconInfo(GetCursor(), &hand) && GetObjectW(hand.hbmMask, sizeof mask, &mask));
  EXPECT_EQ(mask.bmWidth, GetSystemMetricsForDpi(SM_CXCURSOR, static_cast<UINT>(window.dpi())));

  HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
  for (bool behind : {false, true})
    for (bool visible : {false, true}) {
      SCOPED_TRACE(std::string(behind ? "behind another window, " : "active, ") + (visible ? "shown" : "hidden"));
      SetForegroundWindow(behind ? other : window.hwnd());
      ASSERT_TRUE(window.set_text1_visible(visible));
      EXPECT_EQ(GetForegroundWindow(), behind ? other : window.hwnd());
      SetForegroundWindow(window.hwnd());
      EXPECT_EQ(GetFocus(), w.control(visible ? ui::ControlId::Text1 : ui::ControlId::List1));
    }
  DestroyWindow(other);
}

// The client area of `hwnd` as the screen shows it once it holds still.
std::vector<std::uint32_t> shown_client(HWND hwnd) {
  RECT r;
  GetClientRect(hwnd, &r);
  MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return settled_pixels(hwnd, r);
}

// What Windows sends a window moved onto a monitor of `dpi`: WM_GETDPISCALEDSIZE with its size
// scaled, then WM_DPICHANGED with the size it answered at `top_left`. Gives that rectangle.
RECT move_to_dpi(HWND form, int from, int dpi, POINT top_left) {
  RECT now;
  GetWindowRect(form, &now);
  SIZE size{MulDiv(now.right - now.left, dpi, from), MulDiv(now.bottom - now.top, dpi, from)};
  SendMessageW(form, WM_GETDPISCALEDSIZE, static_cast<WPARAM>(dpi), reinterpret_cast<LPARAM>(&size));
  RECT suggested{top_left.x, top_left.y, top_left.x + size.cx, top_left.y + size.cy};
  SendMessageW(form, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  return suggested;
}

// How many pictures the screen shows whole; each must be its drawing at `dpi`, or the next larger
// one reduced as the core reduces it, laid on the button face.
int expect_pictures_made_for(const Window& w, int dpi) {
  RECT client, screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, at, seen;
  GetClientRect(w.hwnd, &client);
  MapWindowPoints(w.hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
  IntersectRect(&screen, &screen, &client);
  std::vector<ui::Control> whole;
  for (std::size_t i = 0; i < ui::kControls.size(); ++i) {
    GetWindowRect(w.control(i), &at);
    if (ui::kControls[i].type == ui::ControlType::Image && IntersectRect(&seen, &at, &screen) && EqualRect(&seen, &at))
      whole.push_back(ui::kControls[i]);
  }
  expect_pictures_laid_on(w.hwnd, dpi, face_rgb(), whole);
  return static_cast<int>(whole.size());
}

// Moved onto monitors of other scales, 96 → 144 → 120 → 168 → 108 → 240 dpi and back, the window
// lies on the rectangle Windows suggests, laid out and with its pictures made for each, and
// nothing drawn for an earlier dpi stays on screen. Wine gives every window the system dpi and
// draws frames and scroll bars for it, so only at that dpi does a window made there from the
// start look the same; the driver runs this at 96, 120, 144, 168 and 192 dpi, and there the two
// must be equal pixel for pixel. At 96 dpi, fifty more round trips leave as many GDI and USER
// objects as the first. A window whose art cannot be made for the new dpi stays whole at its own.
TEST_F(InThisProcess, TheWindowFollowsADpiChangeWhole) {
  const int system = static_cast<int>(GetDpiForSystem());
  // In the desktop's corner the pointer shows no picture's tooltip in the screenshots.
  move_mouse({GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1});
  win32::MainWindow& first = open();
  const std::vector<std::uint32_t> from_start = shown_client(first.hwnd());
  close(first);
  win32::MainWindow& window = open();
  ASSERT_TRUE(window.add_tooltips());
  Window w{window.hwnd()};
  int step = 0;
  for (int dpi : {96, 144, 120, 168, 108, 240, system}) {
    if (dpi == window.dpi()) continue;
    SCOPED_TRACE(std::to_string(window.dpi()) + " to " + std::to_string(dpi) + " dpi");
    RECT layout{0, 0, ui::twips_to_pixels(ui::kForm.client_width_twips, dpi), ui::twips_to_pixels(ui::kForm.client_height_twips, dpi)};
    AdjustWindowRectExForDpi(&layout, static_cast<DWORD>(GetWindowLongPtrW(w.hwnd, GWL_STYLE)), FALSE, 0, static_cast<UINT>(dpi));
    // A little further each time, as onto another monitor, and on Wine's desktop as far as it fits.
    ++step;
    LONG width = layout.right - layout.left, height = layout.bottom - layout.top;
    RECT suggested = move_to_dpi(w.hwnd, window.dpi(), dpi, {std::max(0L, std::min<LONG>(16 * step, GetSystemMetrics(SM_CXSCREEN) - width)),
                                                          std::max(0L, std::min<LONG>(8 * step, GetSystemMetrics(SM_CYSCREEN) - height))});
    EXPECT_EQ(window.dpi(), dpi);
    EXPECT_TRUE(suggested.right - suggested.left == width && suggested.bottom - suggested.top == height);
    // The system keeps a window within its largest tracking size, which the 240 dpi one passes.
    RECT placed;
    GetWindowRect(w.hwnd, &placed);
    EXPECT_TRUE(placed.left == suggested.left && placed.top == suggested.top &&
                placed.right == std::min<LONG>(suggested.right, suggested.left + GetSystemMetrics(SM_CXMAXTRACK)) &&
                placed.bottom == std::min<LONG>(suggested.bottom, suggested.top + GetSystemMetrics(SM_CYMAXTRACK)));
    std::vector<std::uint32_t> shown = shown_client(w.hwnd);
    for (std::size_t i = 0; i < ui::kControls.size(); ++i) {
      ui::Rect r = ui::client_pixels(ui::kControls[i], dpi);
      RECT at = w.client_rect_of(w.control(i));
      // A list box keeps to whole lines of its font.
      bool list = ui::kControls[i].type == ui::ControlType::ListBox;
      EXPECT_TRUE(at.left == r.left && at.top == r.top && at.right - at.left == r.width && (list || at.bottom - at.top == r.height))
          << ui::control_name(ui::kControls[i].id);
    }
    // Below the system dpi, Wine's frame takes more of the rectangle than one drawn for the dpi,
    // and the client area loses the bottom of the button row.
    int whole = expect_pictures_made_for(w, dpi);
    if (dpi >= system) EXPECT_GE(whole, 3);
    if (dpi != system) continue;
    std::size_t differ = shown.size() == from_start.size() ? 0 : shown.size();
    for (std::size_t k = 0; k < shown.size() && k < from_start.size(); ++k) differ += (shown[k] ^ from_start[k]) & 0xFFFFFF ? 1 : 0;
    EXPECT_EQ(differ, 0u) << "pixels differ from the window made at " << dpi << " dpi";
  }

  if (system == ui::kDesignDpi) {
    // The pointer rests on a picture, so the hand it shows is replaced each time too.
    HWND picture = w.control(ui::ControlId::Image2);
    auto round_trip = [&] {
      for (int dpi : {108, 144, 96}) {
        SendMessageW(picture, WM_SETCURSOR, reinterpret_cast<WPARAM>(picture), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        move_to_dpi(w.hwnd, window.dpi(), dpi, {16, 8});
        pump();
      }
    };
    round_trip();
    const win32_tests::Counts first = win32_tests::count_objects();
    for (int i = 1; i < 50; ++i) round_trip();
    const win32_tests::Counts after = win32_tests::count_objects();
    std::printf("%s after the first dpi round trip: GDI %lu, USER %lu; after 50: GDI %lu, USER %lu\n",
                win32_tests::gui_resources_work() ? "GetGuiResources" : "live handles", first.gdi, first.user, after.gdi, after.user);
    EXPECT_GT(first.gdi, 0u);
    EXPECT_TRUE(after == first);
  }
  close(window);

  // The window keeps its client area inside the frame Windows draws for the new dpi (Wine draws
  // every frame at the system dpi, so only the rectangle shows it here).
  win32::MainWindow& unchanged = open(false);
  RECT client, after;
  GetClientRect(unchanged.hwnd(), &client);
  HWND label = Window{unchanged.hwnd()}.control(ui::control_index(ui::ControlId::Label1, 0));
  LRESULT font = SendMessageW(label, WM_GETFONT, 0, 0);
  move_to_dpi(unchanged.hwnd(), system, system * 3 / 2, {32, 16});
  GetWindowRect(unchanged.hwnd(), &after);
  const RECT kept = win32::window_rect_around({32, 16}, {client.right, client.bottom}, static_cast<DWORD>(GetWindowLongPtrW(unchanged.hwnd(), GWL_STYLE)),
                                              static_cast<DWORD>(GetWindowLongPtrW(unchanged.hwnd(), GWL_EXSTYLE)), system * 3 / 2);
  EXPECT_TRUE(unchanged.dpi() == system && SendMessageW(label, WM_GETFONT, 0, 0) == font && EqualRect(&kept, &after));
}

// Where a dpi switch cannot be made the window takes the rectangle around its client area at the
// new dpi. At the system dpi, the one Wine draws frames for, a real window on it holds exactly that
// area; at half as much again the caption is as much taller as Windows makes one for that dpi.
TEST_F(InThisProcess, TheRectangleAroundAClientAreaHoldsIt) {
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  const UINT system = GetDpiForSystem(), larger = system * 3 / 2;
  const RECT r = win32::window_rect_around({40, 30}, {386, 241}, style, 0, static_cast<int>(system));
  const RECT big = win32::window_rect_around({40, 30}, {386, 241}, style, 0, static_cast<int>(larger));
  HWND window = CreateWindowExW(0, L"STATIC", L"", style, r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
  RECT inside{};
  GetClientRect(window, &inside);
  DestroyWindow(window);
  EXPECT_TRUE(r.left == 40 && r.top == 30 && inside.right == 386 && inside.bottom == 241);
  const LONG wider = (big.right - big.left) - (r.right - r.left), taller = (big.bottom - big.top) - (r.bottom - r.top);
  EXPECT_TRUE(big.left == 40 && big.top == 30 && wider >= 0);
  EXPECT_EQ(taller - wider, GetSystemMetricsForDpi(SM_CYCAPTION, larger) - GetSystemMetricsForDpi(SM_CYCAPTION, system));
}

// The face colour changed while the window is open, as a switch to a high-contrast scheme does:
// the pictures are laid on the new face, and on the old one again when it comes back.
TEST_F(InThisProcess, ThePicturesFollowTheFaceColour) {
  win32::MainWindow& window = open();
  INT element = COLOR_BTNFACE;
  const COLORREF before = GetSysColor(COLOR_BTNFACE);
  for (COLORREF face : {RGB(0, 0, 0), RGB(0x80, 0x20, 0x40), before}) {
    SetSysColors(1, &element, &face);
    // Windows sends it to every top-level window; sent again it must change nothing.
    SendMessageW(window.hwnd(), WM_SYSCOLORCHANGE, 0, 0);
    RedrawWindow(window.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    expect_pictures_laid_on(window.hwnd(), window.dpi(), face_rgb(face));
  }
  SetSysColors(1, &element, &before);
}

}  // namespace
