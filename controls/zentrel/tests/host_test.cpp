// The Zentrel control registered with regsvr32 and hosted in place by our
// container, every method called by DISPID, Done received by a sink.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

#include "appkit/axhost.h"
#include "appkit/registry.h"
#include "testsupport/controls.h"
#include "suite/controls.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

namespace {

const suite::ControlIdentity& Z() { return suite::Control(suite::kCtlZentrel); }

std::wstring ControlFile() { return testsupport::SuitePath(L"ZENTREL.OCX"); }

std::wstring ClassesKey(const std::wstring& sub) { return L"Software\\Classes\\" + sub; }

std::wstring GuidText(REFGUID g) {
  wchar_t buf[64] = {};
  ::StringFromGUID2(g, buf, 64);
  return buf;
}

class ZentrelHost : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ::OleInitialize(nullptr);
    ASSERT_EQ(ctltest::RunRegsvr32(ControlFile()), 0);
  }
  static void TearDownTestSuite() { ::OleUninitialize(); }

  void SetUp() override {
    ASSERT_TRUE(testsupport::UseSmallMachine(64));
    window = ctltest::CreateHostWindow(700, 560);
    ASSERT_TRUE(window);
  }
  void TearDown() override {
    host.Destroy();
    ::DestroyWindow(window);
  }

  // Creates the control in (10, 10, 650, 490) of the host window.
  void CreateControl() {
    ASSERT_EQ(host.Create(Z().clsid, window, RECT{10, 10, 650, 490}, 1001), S_OK);
    ASSERT_TRUE(host.hwnd());
  }
  bool Call(DISPID id, const std::vector<appkit::AxArg>& args = {}) { return ctltest::Call(host, id, args); }
  std::string GetProp(const std::string& name) { return ctltest::GetProp(host, name); }
  // The sheet: the control window's first child.
  HWND Sheet() const { return ::GetWindow(host.hwnd(), GW_CHILD); }
  HWND ResultList() const { return testsupport::FindChildById(Sheet(), 1005); }

  HWND window = nullptr;
  appkit::AxHost host;
};

TEST_F(ZentrelHost, Regsvr32RegistersControlPageAndTypeLibraryMachineWide) {
  std::wstring clsid = L"CLSID\\" + GuidText(Z().clsid);
  EXPECT_EQ(appkit::RegReadString(HKEY_LOCAL_MACHINE, ClassesKey(clsid), L"", L""), L"Zentrel Control");
  std::wstring server = appkit::RegReadString(HKEY_LOCAL_MACHINE, ClassesKey(clsid + L"\\InprocServer32"), L"", L"");
  EXPECT_EQ(lstrcmpiW(server.c_str(), ControlFile().c_str()), 0) << server;
  EXPECT_EQ(appkit::RegReadString(HKEY_LOCAL_MACHINE, ClassesKey(clsid + L"\\InprocServer32"), L"ThreadingModel", L""),
            L"Apartment");
  EXPECT_EQ(appkit::RegReadString(HKEY_LOCAL_MACHINE, ClassesKey(L"ZENTREL.ZentrelCtrl.1\\CLSID"), L"", L""),
            GuidText(Z().clsid));
  EXPECT_EQ(appkit::RegReadString(HKEY_LOCAL_MACHINE, ClassesKey(clsid + L"\\MiscStatus\\1"), L"", L""), L"131473");
  EXPECT_EQ(appkit::RegReadString(HKEY_LOCAL_MACHINE, ClassesKey(L"CLSID\\" + GuidText(Z().pageClsid)), L"", L""),
            L"Zentrel Property Page");
  // The type library: registered and describing the dispatch interface.
  ITypeLib* lib = nullptr;
  ASSERT_EQ(::LoadRegTypeLib(Z().typeLibId, 1, 0, 0, &lib), S_OK);
  ITypeInfo* info = nullptr;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(Z().dispatchIid, &info), S_OK);
  BSTR name = nullptr;
  ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_STREQ(name, L"_DZentrel");
  ::SysFreeString(name);
  // Methods by DISPID with BOOL (VARIANT_BOOL) and BSTR results.
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  std::vector<std::pair<DISPID, VARTYPE>> funcs;
  for (WORD i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* fd = nullptr;
    ASSERT_EQ(info->GetFuncDesc(i, &fd), S_OK);
    funcs.push_back({fd->memid, fd->elemdescFunc.tdesc.vt});
    info->ReleaseFuncDesc(fd);
  }
  info->ReleaseTypeAttr(attr);
  EXPECT_EQ(funcs, (std::vector<std::pair<DISPID, VARTYPE>>{
                       {1, VT_BOOL}, {2, VT_BOOL}, {3, VT_BOOL}, {4, VT_BOOL}, {5, VT_BOOL}, {6, VT_BSTR}}));
  info->Release();
  BSTR libName = nullptr;
  ASSERT_EQ(lib->GetDocumentation(-1, &libName, nullptr, nullptr, nullptr), S_OK);
  EXPECT_STREQ(libName, L"ZENTRELLib");
  ::SysFreeString(libName);
  lib->Release();
}

TEST_F(ZentrelHost, CreatedByClassIdAndByProgIdInPlaceInTheHostWindow) {
  CreateControl();
  EXPECT_EQ(::GetParent(host.hwnd()), window);
  EXPECT_EQ(::GetDlgCtrlID(host.hwnd()), 1001);
  RECT rc = ctltest::RectInParent(host.hwnd());
  EXPECT_EQ(rc.left, 10);
  EXPECT_EQ(rc.top, 10);
  EXPECT_EQ(rc.right, 650);
  EXPECT_EQ(rc.bottom, 490);
  host.Move(RECT{0, 0, 300, 200});
  rc = ctltest::RectInParent(host.hwnd());
  EXPECT_EQ(rc.right, 300);
  EXPECT_EQ(rc.bottom, 200);
  // The control names its own event interface.
  IProvideClassInfo2* pci = nullptr;
  ASSERT_EQ(host.object()->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&pci)), S_OK);
  GUID events{};
  EXPECT_EQ(pci->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events), S_OK);
  EXPECT_TRUE(events == Z().eventIid);
  pci->Release();
  // One property page, which exists and shows dialog 200 as "General".
  ISpecifyPropertyPages* spp = nullptr;
  ASSERT_EQ(host.object()->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&spp)), S_OK);
  CAUUID pages{};
  ASSERT_EQ(spp->GetPages(&pages), S_OK);
  spp->Release();
  ASSERT_EQ(pages.cElems, 1u);
  EXPECT_TRUE(pages.pElems[0] == Z().pageClsid);
  IPropertyPage* page = nullptr;
  ASSERT_EQ(::CoCreateInstance(pages.pElems[0], nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                               reinterpret_cast<void**>(&page)),
            S_OK);
  ::CoTaskMemFree(pages.pElems);
  PROPPAGEINFO ppi{};
  ASSERT_EQ(page->GetPageInfo(&ppi), S_OK);
  EXPECT_STREQ(ppi.pszTitle, L"General");
  ::CoTaskMemFree(ppi.pszTitle);
  RECT pageRect{0, 0, 200, 100};
  EXPECT_EQ(page->Activate(window, &pageRect, FALSE), S_OK);
  EXPECT_EQ(page->Deactivate(), S_OK);
  page->Release();
  host.Destroy();
  EXPECT_FALSE(host.IsCreated());

  ASSERT_EQ(host.Create(L"ZENTREL.ZentrelCtrl.1", window, RECT{0, 0, 400, 300}, 7), S_OK);
  EXPECT_EQ(::GetDlgCtrlID(host.hwnd()), 7);
  EXPECT_TRUE(Call(suite::kDispInit, {"-AutoRun3 -Check"}));
}

TEST_F(ZentrelHost, MethodsBeforeInitAnswerFalseAndEmpty) {
  CreateControl();
  EXPECT_FALSE(Call(suite::kDispSetProp, {"Size", "640 480"}));
  EXPECT_FALSE(Call(suite::kDispDoTest, {""}));
  EXPECT_FALSE(Call(suite::kDispIsRunning));
  EXPECT_FALSE(Call(suite::kDispAbort));
  EXPECT_EQ(GetProp("count"), "");
  EXPECT_EQ(GetProp("line:0"), "");
  // Wrong calls are refused by the dispatch table, not by the control.
  HRESULT hr = S_OK;
  host.CallBool(suite::kDispInit, {}, &hr);
  EXPECT_EQ(hr, DISP_E_BADPARAMCOUNT);
  host.CallBool(7, {}, &hr);
  EXPECT_EQ(hr, DISP_E_MEMBERNOTFOUND);
}

TEST_F(ZentrelHost, AutoRunEndsWithoutErrorsAndFiresDoneOnTheHostThread) {
  ASSERT_TRUE(testsupport::UseSmallMachine(8));  // a short run over a 1 MB block
  CreateControl();
  std::vector<std::wstring> done;
  DWORD doneThread = 0;
  ASSERT_EQ(host.SinkEvents(IID_NULL,
                            [&](DISPID id, const std::vector<std::wstring>& args) {
                              if (id != suite::kEventDone) return;
                              done = args;
                              doneThread = ::GetCurrentThreadId();
                            }),
            S_OK);
  ASSERT_TRUE(Call(suite::kDispInit, {"-AutoRun3 -Check"}));
  EXPECT_TRUE(::GetWindowLongW(host.hwnd(), GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
  ASSERT_TRUE(Sheet());
  EXPECT_EQ(ctltest::SheetTabs(Sheet()), std::vector<std::wstring>{L"Test"}) << "only the Test page";
  EXPECT_TRUE(ResultList());

  EXPECT_TRUE(Call(suite::kDispSetProp, {"Size", "640 480"}));
  RECT rc = ctltest::RectInParent(Sheet());
  EXPECT_EQ(rc.left, 2);
  EXPECT_EQ(rc.top, 2);
  EXPECT_EQ(rc.right - rc.left, 636);
  EXPECT_EQ(rc.bottom - rc.top, 476);
  EXPECT_EQ(GetProp("Title"), "Memory Test");

  EXPECT_TRUE(Call(suite::kDispDoTest, {""}));
  ASSERT_TRUE(testsupport::PumpUntil([&] { return !done.empty(); }, 20000));
  EXPECT_EQ(done, std::vector<std::wstring>{L"0"});  // sound memory
  EXPECT_EQ(doneThread, ::GetCurrentThreadId());
  EXPECT_FALSE(Call(suite::kDispIsRunning));

  // The result list of the automatic run's only page.
  int count = std::stoi(GetProp("count"));
  EXPECT_GT(count, 0);
  EXPECT_EQ(count, (int)::SendMessageW(ResultList(), LB_GETCOUNT, 0, 0));
  std::vector<std::wstring> lines = testsupport::ListBoxLines(ResultList());
  ASSERT_FALSE(lines.empty());
  std::string first;
  for (wchar_t c : lines[0]) first.push_back((char)c);
  EXPECT_EQ(GetProp("line:0"), first + "\n");
  EXPECT_EQ(GetProp("line:" + std::to_string(count)), "");
}

TEST_F(ZentrelHost, TestDoneMessageFiresDoneWithItsCount) {
  CreateControl();
  std::vector<std::vector<std::wstring>> events;
  ASSERT_EQ(host.SinkEvents(Z().eventIid,
                            [&](DISPID id, const std::vector<std::wstring>& args) {
                              if (id == suite::kEventDone) events.push_back(args);
                            }),
            S_OK);
  EXPECT_EQ(::SendMessageW(host.hwnd(), suite::WM_TESTDONE, 0, 0), 1);
  EXPECT_EQ(::SendMessageW(host.hwnd(), suite::WM_TESTDONE, 3, 0), 1);
  ::PostMessageW(host.hwnd(), suite::WM_TESTDONE, 17, 0);
  ASSERT_TRUE(testsupport::PumpUntil([&] { return events.size() == 3; }, 5000));
  EXPECT_EQ(events, (std::vector<std::vector<std::wstring>>{{L"0"}, {L"3"}, {L"17"}}));
  // After the sink goes, nothing is called.
  host.UnsinkEvents();
  ::SendMessageW(host.hwnd(), suite::WM_TESTDONE, 1, 0);
  EXPECT_EQ(events.size(), 3u);
}

TEST_F(ZentrelHost, IsRunningAndAbortDuringARunThenNoDone) {
  ASSERT_TRUE(testsupport::UseSmallMachine(512));  // a run of many seconds
  CreateControl();
  int doneCount = 0;
  ASSERT_EQ(host.SinkEvents(Z().eventIid, [&](DISPID id, const std::vector<std::wstring>&) { ++doneCount; }), S_OK);
  ASSERT_TRUE(Call(suite::kDispInit, {"-AutoRun"}));
  ASSERT_TRUE(Call(suite::kDispDoTest, {""}));
  ASSERT_TRUE(testsupport::PumpUntil([&] { return Call(suite::kDispIsRunning); }, 10000));
  EXPECT_FALSE(Call(suite::kDispDoTest, {""})) << "a second start while running";
  DWORD t0 = ::GetTickCount();
  EXPECT_TRUE(Call(suite::kDispAbort));
  EXPECT_TRUE(testsupport::PumpUntil([&] { return !Call(suite::kDispIsRunning); }, 10000));
  EXPECT_LT(::GetTickCount() - t0, 30000u);  // ends, not hangs (a busy machine is slow)
  EXPECT_FALSE(Call(suite::kDispAbort)) << "nothing left to stop";
  testsupport::PumpUntil([] { return false; }, 200);
  EXPECT_EQ(doneCount, 0) << "an aborted automatic run reports nothing";
}

TEST_F(ZentrelHost, OnlyOneInitPerProcessUntilTheControlGoesThenAgain) {
  CreateControl();
  ASSERT_TRUE(Call(suite::kDispInit, {"-AutoRun"}));
  EXPECT_FALSE(Call(suite::kDispInit, {"-AutoRun"})) << "same instance";
  appkit::AxHost second;
  ASSERT_EQ(second.Create(Z().clsid, window, RECT{0, 0, 200, 200}, 1002), S_OK);
  EXPECT_FALSE(second.CallBool(suite::kDispInit, {""})) << "another instance";
  EXPECT_EQ(::GetWindow(second.hwnd(), GW_CHILD), nullptr) << "and it created nothing";
  second.Destroy();
  EXPECT_TRUE(::IsWindow(Sheet())) << "the other instance going leaves the first one's sheet alone";
  EXPECT_TRUE(Call(suite::kDispSetProp, {"size", "300 200"}));

  // Destroyed and re-created in this process: Init works again, even when
  // someone still holds the old object after its window went.
  IUnknown* lingering = host.object();
  lingering->AddRef();
  host.Destroy();
  CreateControl();
  EXPECT_TRUE(Call(suite::kDispInit, {""}));
  EXPECT_TRUE(Sheet());
  lingering->Release();
  EXPECT_EQ(ctltest::SheetTabs(Sheet()), (std::vector<std::wstring>{L"Information", L"Test"}));
  EXPECT_TRUE(Call(suite::kDispSetProp, {"size", "300 200"}));
  RECT rc = ctltest::RectInParent(Sheet());
  EXPECT_EQ(rc.right - rc.left, 356);
  EXPECT_EQ(rc.bottom - rc.top, 236);
}

TEST_F(ZentrelHost, AnObjectInitialisedWithoutAWindowLeavesInitToTheNextControl) {
  // A container may call Init before it activates the control, and then let
  // the object go without ever activating it.
  IDispatch* bare = nullptr;
  ASSERT_EQ(::CoCreateInstance(Z().clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&bare)),
            S_OK);
  VARIANTARG arg;
  ::VariantInit(&arg);
  arg.vt = VT_BSTR;
  arg.bstrVal = ::SysAllocString(L"");
  DISPPARAMS dp{&arg, nullptr, 1, 0};
  VARIANT r;
  ::VariantInit(&r);
  EXPECT_EQ(bare->Invoke(suite::kDispInit, IID_NULL, 0, DISPATCH_METHOD, &dp, &r, nullptr, nullptr), S_OK);
  ::VariantClear(&r);
  ::VariantClear(&arg);
  bare->Release();

  CreateControl();
  EXPECT_TRUE(Call(suite::kDispInit, {""}));
  EXPECT_TRUE(Sheet());
}

TEST_F(ZentrelHost, ReleasingDuringARunEndsTheWorkerAndLetsTheModuleUnload) {
  ASSERT_TRUE(testsupport::UseSmallMachine(512));  // a run of many seconds
  CreateControl();
  ASSERT_TRUE(Call(suite::kDispInit, {"-AutoRun"}));
  ASSERT_TRUE(Call(suite::kDispDoTest, {""}));
  ASSERT_TRUE(testsupport::PumpUntil([&] { return Call(suite::kDispIsRunning); }, 10000));
  HMODULE mod = ::GetModuleHandleW(L"ZENTREL.OCX");
  ASSERT_TRUE(mod);
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  auto canUnload = reinterpret_cast<CanUnload>(::GetProcAddress(mod, "DllCanUnloadNow"));
  ASSERT_TRUE(canUnload);
  EXPECT_EQ(canUnload(), S_FALSE);
  DWORD t0 = ::GetTickCount();
  host.Destroy();
  EXPECT_LT(::GetTickCount() - t0, 30000u);  // ends, not hangs (a busy machine is slow)
  EXPECT_EQ(canUnload(), S_OK) << "no live objects or workers";

  // Unloaded and loaded again, the control comes back whole.
  ::CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_EQ(::GetModuleHandleW(L"ZENTREL.OCX"), nullptr);
  CreateControl();
  EXPECT_TRUE(Call(suite::kDispInit, {"-AutoRun"}));
  EXPECT_TRUE(Sheet());
}

}  // namespace
