// The module lists saved when the disk has no room for them: the stress and
// benchmark dialogs, opened from the menu, on the small disk of
// with_small_disk.sh. A module switched off by a double click makes the
// list longer than the room its file holds; the save at closing fails, says
// so, and the list stays as it was, so that the dialog opens again.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "appkit/text.h"
#include "run_support.h"
#include "testsupport/process.h"
#include "testsupport/smalldisk.h"
#include "testsupport/ui.h"

using namespace runtest;
using testsupport::Process;

namespace {

// A list of `size` bytes: its header, comment lines, and one module last,
// so that a list cut short loses that module.
std::string ListOfSize(const RunFixture& fx, size_t size) {
  const std::string header = ";Test Modules\r\n";
  const std::string module = fx.Line("Memory Test", "-AutoRun", "", "KytMEM.LOG", "0");
  std::string comments;
  while (header.size() + comments.size() + module.size() < size) {
    size_t room = size - header.size() - comments.size() - module.size();
    // A comment line is ";" + text + CR LF: at least three bytes.
    size_t text = room >= 103 ? 100 : room - 3;
    comments += ";" + std::string(text, 'c') + "\r\n";
  }
  return header + comments + module;
}

// Double-clicks the first module of the dialog's list with the mouse and
// waits until its status shows the change.
bool DoubleClickFirstModule(HWND dlg, const std::wstring& status) {
  HWND list = testsupport::FindChildById(dlg, 1024);
  HWND header = testsupport::FindChild(list, L"SysHeader32");
  if (!list || !header) return false;
  RECT lr{}, hr{};
  ::GetWindowRect(list, &lr);
  ::GetWindowRect(header, &hr);
  if (!testsupport::MouseClickAt({lr.left + 30, hr.bottom + 6}, 2)) return false;
  return testsupport::PumpUntil(
      [&] {
        auto rows = ListRows(dlg);
        return rows.size() == 1 && rows[0][1] == status;
      },
      10000);
}

}  // namespace

TEST(ListSave, AListTheDiskHasNoRoomForStaysWholeAndTheDialogStillOpens) {
  testsupport::SmallDisk disk;
  if (!disk.ready()) GTEST_SKIP() << "run through with_small_disk.sh";
  struct Case {
    const wchar_t* name;
    const wchar_t* mode;
    const wchar_t* list;
    const wchar_t* title;
  } cases[] = {
      {L"stress list", L"-Stress -Attended", L"modules.dat", L"Stress Test"},
      {L"benchmark list", L"-Bench -Attended", L"bnchmark.dat", L"Benchmarks"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(appkit::Narrow(c.name));
    const std::wstring dir = disk.root() + c.name + L" data\\";
    ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
    RunFixture fx(c.name, dir);
    // Five bytes short of a block; "(Disabled)" makes it five bytes over.
    const std::string list = ListOfSize(fx, 4096 - 5);
    ASSERT_EQ(list.size(), 4091u);
    fx.WriteFile(c.list, list);
    ASSERT_EQ(fx.ReadFile(c.list), list);
    ASSERT_TRUE(disk.FillSpace());

    {
      Process host;
      ASSERT_TRUE(fx.StartHost(host, c.mode));
      HWND dlg = WaitDialog(host.Pid(), c.title);
      ASSERT_NE(dlg, nullptr);
      ASSERT_TRUE(DoubleClickFirstModule(dlg, L"(Disabled)"));
      ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
      HWND box = WaitOtherWindow(host.Pid(), fx.MessageTitle(), nullptr, 10000);
      ASSERT_NE(box, nullptr) << "no message that the list was not saved";
      const std::wstring text = testsupport::GetText(testsupport::FindChildById(box, 0xFFFF));
      EXPECT_EQ(text.rfind(L"Failed to save file.  " + dir + c.list + L": ", 0), 0u) << appkit::Narrow(text);
      ASSERT_TRUE(testsupport::ClickButton(box, IDOK));
      ASSERT_TRUE(host.WaitExitPumping(10000));
    }
    const std::string kept = fx.ReadFile(c.list);
    EXPECT_TRUE(kept == list) << "the old list was not kept byte for byte: " << kept.size() << " bytes of "
                              << list.size() << ", ending \"" << kept.substr(kept.size() - std::min<size_t>(kept.size(), 40))
                              << "\"";
    EXPECT_EQ(testsupport::NamesIn(dir), std::vector<std::wstring>{c.list}) << "a temporary file stayed";

    // The dialog opens on the list as it was.
    {
      Process host;
      ASSERT_TRUE(fx.StartHost(host, c.mode));
      HWND dlg = WaitDialog(host.Pid(), c.title, 20000);
      ASSERT_NE(dlg, nullptr) << "the dialog no longer opens";
      auto rows = ListRows(dlg);
      ASSERT_EQ(rows.size(), 1u);
      EXPECT_EQ(rows[0][0], L"Memory Test");
      EXPECT_EQ(rows[0][1], L"");

      // With room again the same change is saved.
      disk.Free();
      ASSERT_TRUE(DoubleClickFirstModule(dlg, L"(Disabled)"));
      ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
      ASSERT_TRUE(host.WaitExitPumping(10000)) << "the save at closing did not go through";
    }
    std::string disabled = list;
    disabled.replace(disabled.rfind("|-AutoRun||") + 10, 0, "(Disabled)");
    EXPECT_TRUE(fx.ReadFile(c.list) == disabled) << "the module switched off was not saved";
    testsupport::RemoveTree(dir);
  }
}
