#include "testsupport/ui.h"

#include <commctrl.h>

#include <utility>

#include "appkit/text.h"
#include "testsupport/process.h"

namespace testsupport {

namespace {

struct FindTop {
  const std::wstring* title;
  const std::wstring* cls;
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindTopProc(HWND hwnd, LPARAM lp) {
  auto* f = reinterpret_cast<FindTop*>(lp);
  if (f->pid) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != f->pid) return TRUE;
  }
  if (!f->title->empty() && GetText(hwnd) != *f->title) return TRUE;
  if (!f->cls->empty() && ClassOf(hwnd) != *f->cls) return TRUE;
  f->found = hwnd;
  return FALSE;
}

// A block of memory in another process, freed when it goes.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND owner, size_t size) : size_(size) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(owner, &pid);
    proc_ = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (proc_) mem_ = ::VirtualAllocEx(proc_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (mem_) ::VirtualFreeEx(proc_, mem_, 0, MEM_RELEASE);
    if (proc_) ::CloseHandle(proc_);
  }
  bool ok() const { return mem_ != nullptr; }
  char* addr() const { return static_cast<char*>(mem_); }
  bool Write(size_t off, const void* data, size_t n) {
    return off + n <= size_ && ::WriteProcessMemory(proc_, addr() + off, data, n, nullptr);
  }
  bool Read(size_t off, void* data, size_t n) {
    return off + n <= size_ && ::ReadProcessMemory(proc_, addr() + off, data, n, nullptr);
  }

 private:
  HANDLE proc_ = nullptr;
  void* mem_ = nullptr;
  size_t size_;
};

constexpr int kTextMax = 1024;

std::wstring RemoteItemText(HWND hwnd, UINT msg, WPARAM index, int sub, bool tree, HTREEITEM item) {
  RemoteBuffer buf(hwnd, 4096 + kTextMax * sizeof(wchar_t));
  if (!buf.ok()) return {};
  wchar_t* remoteText = reinterpret_cast<wchar_t*>(buf.addr() + 4096);
  if (tree) {
    TVITEMW it{};
    it.mask = TVIF_TEXT | TVIF_HANDLE;
    it.hItem = item;
    it.pszText = remoteText;
    it.cchTextMax = kTextMax;
    buf.Write(0, &it, sizeof(it));
  } else {
    LVITEMW it{};
    it.iSubItem = sub;
    it.pszText = remoteText;
    it.cchTextMax = kTextMax;
    buf.Write(0, &it, sizeof(it));
  }
  ::SendMessageW(hwnd, msg, index, reinterpret_cast<LPARAM>(buf.addr()));
  std::wstring text(kTextMax, L'\0');
  buf.Read(4096, text.data(), kTextMax * sizeof(wchar_t));
  text.resize(wcsnlen(text.c_str(), kTextMax));
  return text;
}

void WalkTree(HWND tree, HTREEITEM item, int depth, std::vector<std::wstring>* out) {
  for (; item; item = TreeView_GetNextSibling(tree, item)) {
    out->push_back(std::wstring(depth * 2, L' ') +
                   RemoteItemText(tree, TVM_GETITEMW, 0, 0, true, item));
    WalkTree(tree, TreeView_GetChild(tree, item), depth + 1, out);
  }
}

}  // namespace

std::wstring GetText(HWND hwnd) {
  LRESULT n = ::SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
  if (n <= 0) return {};
  std::wstring s(n + 1, L'\0');
  LRESULT got = ::SendMessageW(hwnd, WM_GETTEXT, n + 1, reinterpret_cast<LPARAM>(s.data()));
  s.resize(got > 0 ? (size_t)got : 0);
  return s;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t buf[256];
  int n = ::GetClassNameW(hwnd, buf, 256);
  return std::wstring(buf, n > 0 ? n : 0);
}

namespace {
BOOL CALLBACK ListWindowOf(HWND w, LPARAM lp) {
  auto* out = reinterpret_cast<std::pair<DWORD, std::wstring>*>(lp);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(w, &pid);
  if (pid == out->first)
    out->second += L"[" + ClassOf(w) + L"] \"" + GetText(w) + (::IsWindowVisible(w) ? L"\" shown\n" : L"\" hidden\n");
  return TRUE;
}
}  // namespace

std::string WindowsOf(DWORD pid) {
  std::pair<DWORD, std::wstring> out{pid, L""};
  ::EnumWindows(&ListWindowOf, reinterpret_cast<LPARAM>(&out));
  return appkit::Narrow(out.second);
}

HWND FindTopWindow(const std::wstring& title, const std::wstring& cls, DWORD pid) {
  FindTop f{&title, &cls, pid, nullptr};
  ::EnumWindows(&FindTopProc, reinterpret_cast<LPARAM>(&f));
  return f.found;
}

HWND WaitForWindow(const std::wstring& title, const std::wstring& cls, DWORD pid, DWORD ms) {
  HWND found = nullptr;
  PumpUntil([&] { return (found = FindTopWindow(title, cls, pid)) != nullptr; }, ms);
  return found;
}

HWND WaitForMainWindow(DWORD pid, HANDLE process, const std::wstring& cls, DWORD ms) {
  HWND found = nullptr;
  PumpUntil(
      [&] {
        if (HWND dialog = FindTopWindow(L"", L"#32770", pid))
          if (::IsWindowVisible(dialog)) ::PostMessageW(dialog, WM_LBUTTONUP, 0, 0);
        HWND w = FindTopWindow(L"", cls, pid);
        if (w && ::IsWindowVisible(w)) found = w;
        return found != nullptr || ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
      },
      ms);
  return found;
}

namespace {

struct FindOf {
  DWORD pid;
  const std::function<bool(HWND)>* match;
  HWND found;
};

BOOL CALLBACK FindOfProc(HWND hwnd, LPARAM lp) {
  auto* f = reinterpret_cast<FindOf*>(lp);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid != f->pid || !::IsWindowVisible(hwnd) || !(*f->match)(hwnd)) return TRUE;
  f->found = hwnd;
  return FALSE;
}

}  // namespace

HWND WaitForWindowOf(DWORD pid, const std::function<bool(HWND)>& match, DWORD ms) {
  FindOf f{pid, &match, nullptr};
  PumpUntil(
      [&] {
        ::EnumWindows(&FindOfProc, reinterpret_cast<LPARAM>(&f));
        return f.found != nullptr;
      },
      ms);
  return f.found;
}

bool WaitWindowGone(HWND hwnd, DWORD ms) {
  return PumpUntil([&] { return !::IsWindow(hwnd); }, ms);
}

namespace {

struct ChildQuery {
  int id;  // -1: match by class and text
  const std::wstring* cls;
  const std::wstring* text;
  HWND found;
};

BOOL CALLBACK FindChildProc(HWND h, LPARAM lp) {
  auto* q = reinterpret_cast<ChildQuery*>(lp);
  bool match = q->id >= 0 ? ::GetDlgCtrlID(h) == q->id
                          : (q->cls->empty() || ClassOf(h) == *q->cls) && (q->text->empty() || GetText(h) == *q->text);
  if (!match) return TRUE;
  q->found = h;
  return FALSE;
}

}  // namespace

HWND FindChildById(HWND parent, int id) {
  ChildQuery q{id, nullptr, nullptr, nullptr};
  ::EnumChildWindows(parent, &FindChildProc, reinterpret_cast<LPARAM>(&q));
  return q.found;
}

HWND FindChild(HWND parent, const std::wstring& cls, const std::wstring& text) {
  ChildQuery q{-1, &cls, &text, nullptr};
  ::EnumChildWindows(parent, &FindChildProc, reinterpret_cast<LPARAM>(&q));
  return q.found;
}

bool ClickButton(HWND button) {
  if (!button) return false;
  HWND parent = ::GetParent(button);
  int id = ::GetDlgCtrlID(button);
  return ::PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != 0;
}

bool ClickButton(HWND parent, int id) { return ClickButton(FindChildById(parent, id)); }

bool MouseClickAt(POINT screen, int clicks) {
  const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
  if (width <= 0 || height <= 0 || clicks < 1) return false;
  // Every event carries the point, so that no other move of the pointer
  // comes between.
  INPUT at{};
  at.type = INPUT_MOUSE;
  at.mi.dx = (LONG)(((LONGLONG)screen.x * 65536 + width - 1) / width);
  at.mi.dy = (LONG)(((LONGLONG)screen.y * 65536 + height - 1) / height);
  std::vector<INPUT> events;
  at.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  events.push_back(at);
  for (int i = 0; i < clicks; ++i) {
    at.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN;
    events.push_back(at);
    at.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP;
    events.push_back(at);
  }
  return ::SendInput((UINT)events.size(), events.data(), sizeof(INPUT)) == events.size();
}

// A list box of another process can change an item between its length and
// its text, and LB_GETTEXT is given no buffer size: the buffer has ample room
// beyond the length read, and an item that no longer fits is read again.
std::vector<std::wstring> ListBoxLines(HWND listBox) {
  constexpr size_t kRoom = 16 * 1024;
  std::vector<std::wstring> out;
  std::vector<wchar_t> buf;
  LRESULT count = ::SendMessageW(listBox, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT got = LB_ERR;
    for (int attempt = 0; attempt < 4; ++attempt) {
      LRESULT len = ::SendMessageW(listBox, LB_GETTEXTLEN, i, 0);
      if (len == LB_ERR) return out;
      if (buf.size() < (size_t)len + 1 + kRoom) buf.resize((size_t)len + 1 + kRoom);
      got = ::SendMessageW(listBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf.data()));
      if (got == LB_ERR || got <= len) break;
    }
    if (got == LB_ERR) return out;
    out.emplace_back(buf.data(), (size_t)got);
  }
  return out;
}

std::vector<std::wstring> ListViewItems(HWND listView, int sub) {
  std::vector<std::wstring> out;
  LRESULT count = ::SendMessageW(listView, LVM_GETITEMCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) out.push_back(RemoteItemText(listView, LVM_GETITEMTEXTW, i, sub, false, nullptr));
  return out;
}

std::vector<std::wstring> TreeViewItems(HWND treeView) {
  std::vector<std::wstring> out;
  WalkTree(treeView, TreeView_GetRoot(treeView), 0, &out);
  return out;
}

Minimised MinimiseAndRestore(HWND window, DWORD ms) {
  Minimised r;
  DWORD_PTR answer = 0;
  auto send = [&](UINT msg) { return ::SendMessageTimeoutW(window, msg, 0, 0, SMTO_ABORTIFHUNG, ms, &answer) != 0; };
  const bool wasVisible = ::IsWindowVisible(window) != FALSE;
  ::ShowWindow(window, SW_MINIMIZE);
  r.minimised = PumpUntil([&] { return ::IsIconic(window) != FALSE; }, ms);
  if (r.minimised) {
    ::InvalidateRect(window, nullptr, TRUE);
    r.painted = send(WM_PAINT);
    r.answered = send(WM_NULL);
  }
  ::ShowWindow(window, SW_RESTORE);
  PumpUntil([&] { return !::IsIconic(window); }, ms);
  if (!wasVisible) ::ShowWindow(window, SW_HIDE);
  return r;
}

}  // namespace testsupport
