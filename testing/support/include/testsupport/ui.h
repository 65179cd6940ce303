// Driving and reading windows of another process.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// First visible-or-not top-level window matching the title and/or class
// (empty = any) and, when given, owned by process `pid`.
HWND FindTopWindow(const std::wstring& title, const std::wstring& cls = L"", DWORD pid = 0);
// Waits (pumping this thread) up to `ms` for such a window.
HWND WaitForWindow(const std::wstring& title, const std::wstring& cls, DWORD pid, DWORD ms);
// Waits (pumping) up to `ms` for a visible top-level window of class `cls`
// of process `pid`, clicking away any visible dialog of that process on the
// way (a title dialog that waits for a click); gives up early once
// `process` has ended.
HWND WaitForMainWindow(DWORD pid, HANDLE process, const std::wstring& cls, DWORD ms);
// Waits (pumping) up to `ms` for a visible top-level window of process `pid`
// that `match` accepts.
HWND WaitForWindowOf(DWORD pid, const std::function<bool(HWND)>& match, DWORD ms);
// Waits until `hwnd` is gone.
bool WaitWindowGone(HWND hwnd, DWORD ms);
// The top-level windows of process `pid`, one a line: class, title, and
// whether shown (for the message of a test whose program did not end).
std::string WindowsOf(DWORD pid);
// Descendant window with control id `id` (depth-first), or nullptr.
HWND FindChildById(HWND parent, int id);
// Descendant window whose class and/or text match (empty = any).
HWND FindChild(HWND parent, const std::wstring& cls, const std::wstring& text = L"");

std::wstring GetText(HWND hwnd);
std::wstring ClassOf(HWND hwnd);
// Clicks a button by posting the command its parent would get.
bool ClickButton(HWND button);
bool ClickButton(HWND parent, int id);
// Presses and releases the left mouse button `clicks` times at a point of
// the screen, as a user's mouse does: the input goes to whatever window is
// there.
bool MouseClickAt(POINT screen, int clicks = 1);

// Lines of a list box (strings kept by the list box), of any process.
std::vector<std::wstring> ListBoxLines(HWND listBox);
// Item texts of a list view (column `sub`), of any process.
std::vector<std::wstring> ListViewItems(HWND listView, int sub = 0);
// Item texts of a tree view, depth-first, each prefixed by two spaces a level.
std::vector<std::wstring> TreeViewItems(HWND treeView);

// A window of another process minimised for a moment: whether it went
// minimised and, while minimised, answered a paint and a message. It is then
// restored, and hidden again when it was hidden. (Wine answers no
// WM_GETICON or WM_QUERYDRAGICON sent from another process: a window's
// icons can only be read in its own process.)
struct Minimised {
  bool minimised = false, painted = false, answered = false;
};
Minimised MinimiseAndRestore(HWND window, DWORD ms);

}  // namespace testsupport
