// GetProp's rules and the dispatch table, in process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "appkit/axcontrol.h"
#include "appkit/registry.h"
#include "ctlfw/rules.h"
#include "suite/controls.h"

namespace {

class FakeList : public ctlfw::ResultList {
 public:
  FakeList(std::vector<std::string> lines, bool broken = false) : lines_(std::move(lines)), broken_(broken) {}
  int Count() const override { return broken_ ? -1 : (int)lines_.size(); }
  int TextLength(int i) const override { return i < (int)lines_.size() ? (int)lines_[i].size() : -1; }
  std::string Text(int i) const override { return lines_[i]; }

 private:
  std::vector<std::string> lines_;
  bool broken_;
};

TEST(GetPropRules, TableOfCases) {
  const std::string longLine(1022, 'x');
  const std::string almostLong(1021, 'y');
  FakeList list({"PASSED", "", "FAILED 2", longLine, almostLong});
  FakeList broken({}, true);
  struct Case {
    const char* name;
    const ctlfw::ResultList* list;
    std::string want;
  } cases[] = {
      {"Title", &list, "Memory Test"},
      {"TITLE", &list, "Memory Test"},
      {"titlebar", &list, "Memory Test"},   // first five characters count
      {"Titl", &list, ""},
      {"Title", nullptr, "Memory Test"},    // no sheet needed for the title
      {"count", &list, "5"},
      {"COUNT", &list, "5"},
      {"count", nullptr, ""},
      {"count", &broken, ""},
      {"line:0", &list, "PASSED\n"},
      {"LINE:2", &list, "FAILED 2\n"},
      {"line:1", &list, "\n"},              // an empty line
      {"line:3", &list, ""},                // 1022 characters: too long
      {"line:4", &list, almostLong + "\n"},
      {"line:5", &list, ""},                // at the count
      {"line:99999999999999999999", &list, ""},
      {"line:", &list, ""},
      {"line:x", &list, ""},
      {"line:2x", &list, "FAILED 2\n"},     // the digits right after the colon
      {"line: 2", &list, ""},
      {"line:0", &broken, ""},
      {"line:0", nullptr, ""},
      {"Size", &list, ""},
      {"", &list, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ctlfw::GetPropValue(c.name, "Memory Test", c.list), c.want) << "name=" << c.name;
}

// A table of two methods, called through Invoke as a host would.
class DispatchTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    table.AddBool(1, L"Init", 1, [this](const appkit::DispatchTable::Args& a) {
      seen = a;
      return a[0] == "yes" ? TRUE : FALSE;
    });
    table.AddString(6, L"GetProp", 1, [](const appkit::DispatchTable::Args& a) { return "<" + a[0] + ">"; });
    table.AddBool(4, L"IsRunning", 0, [](const appkit::DispatchTable::Args&) { return TRUE; });
  }
  HRESULT Call(DISPID id, std::vector<VARIANT> argsLastFirst, VARIANT* result, WORD flags = DISPATCH_METHOD,
               UINT* argErr = nullptr) {
    DISPPARAMS dp{argsLastFirst.empty() ? nullptr : argsLastFirst.data(), nullptr, (UINT)argsLastFirst.size(), 0};
    HRESULT hr = table.Invoke(id, flags, &dp, result, argErr);
    for (VARIANT& v : argsLastFirst) ::VariantClear(&v);
    return hr;
  }
  static VARIANT Str(const wchar_t* s) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocString(s);
    return v;
  }
  static VARIANT Int(long n) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = n;
    return v;
  }
  appkit::DispatchTable table;
  appkit::DispatchTable::Args seen;
};

TEST_F(DispatchTableTest, CallsByDispidWithAnsiStringsAndTypedResults) {
  VARIANT r;
  ASSERT_EQ(Call(1, {Str(L"yes")}, &r), S_OK);
  EXPECT_EQ(r.vt, VT_BOOL);
  EXPECT_EQ(r.boolVal, VARIANT_TRUE);
  EXPECT_EQ(seen, appkit::DispatchTable::Args{"yes"});
  ASSERT_EQ(Call(1, {Str(L"no")}, &r), S_OK);
  EXPECT_EQ(r.boolVal, VARIANT_FALSE);
  // A number converts to its text.
  ASSERT_EQ(Call(1, {Int(42)}, &r), S_OK);
  EXPECT_EQ(seen, appkit::DispatchTable::Args{"42"});
  ASSERT_EQ(Call(6, {Str(L"count")}, &r), S_OK);
  ASSERT_EQ(r.vt, VT_BSTR);
  EXPECT_STREQ(r.bstrVal, L"<count>");
  ::VariantClear(&r);
  // A by-reference string is read through.
  BSTR b = ::SysAllocString(L"ref");
  VARIANT byRef;
  ::VariantInit(&byRef);
  byRef.vt = VT_BSTR | VT_BYREF;
  byRef.pbstrVal = &b;
  DISPPARAMS dp{&byRef, nullptr, 1, 0};
  ASSERT_EQ(table.Invoke(6, DISPATCH_METHOD, &dp, &r, nullptr), S_OK);
  EXPECT_STREQ(r.bstrVal, L"<ref>");
  ::VariantClear(&r);
  ::SysFreeString(b);
  // No result wanted.
  EXPECT_EQ(Call(4, {}, nullptr), S_OK);
}

TEST_F(DispatchTableTest, RefusesWhatItCannotCall) {
  VARIANT r;
  UINT argErr = 99;
  EXPECT_EQ(Call(2, {Str(L"x")}, &r), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(1, {}, &r), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(1, {Str(L"a"), Str(L"b")}, &r), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(1, {Str(L"a")}, &r, DISPATCH_PROPERTYPUT), DISP_E_MEMBERNOTFOUND);
  VARIANT unknown;
  ::VariantInit(&unknown);
  unknown.vt = VT_UNKNOWN;
  unknown.punkVal = nullptr;
  EXPECT_EQ(Call(1, {unknown}, &r, DISPATCH_METHOD, &argErr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 0u);
  DISPID named = 0;
  VARIANT a = Str(L"a");
  DISPPARAMS dp{&a, &named, 1, 1};
  EXPECT_EQ(table.Invoke(1, DISPATCH_METHOD, &dp, &r, nullptr), DISP_E_NONAMEDARGS);
  ::VariantClear(&a);
  DISPID id = 0;
  EXPECT_EQ(table.IdOfName(L"getprop", &id), S_OK);
  EXPECT_EQ(id, 6);
  EXPECT_EQ(table.IdOfName(L"Nothing", &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
}

TEST(Registration, ControlAndPageValues) {
  const suite::ControlIdentity& z = suite::Control(suite::kCtlZentrel);
  appkit::AxClassEntry ctl{appkit::AxClassEntry::kControl, z.clsid, z.progId, 160, 0x20191, 1, nullptr};
  appkit::AxClassEntry page{appkit::AxClassEntry::kPropertyPage, z.pageClsid, nullptr, 161, 0, 0, nullptr};
  appkit::AxServer server{nullptr, 0, z.typeLibId, 1, 0};
  auto values = appkit::AxClassRegistration(ctl, server, L"C:\\suite\\ZENTREL.OCX", L"Zentrel Control");
  auto has = [&](const std::wstring& key, const std::wstring& name, const std::wstring& value) {
    for (auto& v : values)
      if (v.key == key && v.name == name && v.value == value) return true;
    return false;
  };
  const std::wstring k = L"CLSID\\{A02BD662-F0F6-11D2-AA4B-00403323FD64}";
  EXPECT_TRUE(has(k, L"", L"Zentrel Control"));
  EXPECT_TRUE(has(k + L"\\InprocServer32", L"", L"C:\\suite\\ZENTREL.OCX"));
  EXPECT_TRUE(has(k + L"\\InprocServer32", L"ThreadingModel", L"Apartment"));
  EXPECT_TRUE(has(k + L"\\ProgID", L"", L"ZENTREL.ZentrelCtrl.1"));
  EXPECT_TRUE(has(L"ZENTREL.ZentrelCtrl.1\\CLSID", L"", L"{A02BD662-F0F6-11D2-AA4B-00403323FD64}"));
  EXPECT_TRUE(has(k + L"\\MiscStatus\\1", L"", L"131473"));
  EXPECT_TRUE(has(k + L"\\TypeLib", L"", L"{A02BD65F-F0F6-11D2-AA4B-00403323FD64}"));
  EXPECT_TRUE(has(k + L"\\Version", L"", L"1.0"));
  EXPECT_TRUE(has(k + L"\\Control", L"", L""));
  EXPECT_TRUE(has(k + L"\\ToolboxBitmap32", L"", L"C:\\suite\\ZENTREL.OCX, 1"));

  values = appkit::AxClassRegistration(page, server, L"C:\\suite\\ZENTREL.OCX", L"Zentrel Property Page");
  EXPECT_TRUE(has(L"CLSID\\{A02BD663-F0F6-11D2-AA4B-00403323FD64}", L"", L"Zentrel Property Page"));
  for (auto& v : values) EXPECT_EQ(v.key.find(L"Control"), std::wstring::npos) << "a page is no control";
  EXPECT_EQ(appkit::AxClassKeys(page).size(), 1u);
  EXPECT_EQ(appkit::AxClassKeys(ctl).size(), 2u);
}

// A module without a type library resource fails at the first step, with the
// type library's code, and registers no class.
TEST(Registration, MissingTypeLibraryFailsWithItsCode) {
  const GUID clsid{0x6d1b2f7e, 0x1c5a, 0x4c1e, {0x9b, 0x11, 0x4e, 0x55, 0x21, 0x0a, 0x7c, 0x01}};
  const GUID lib{0x6d1b2f7e, 0x1c5a, 0x4c1e, {0x9b, 0x11, 0x4e, 0x55, 0x21, 0x0a, 0x7c, 0x02}};
  appkit::AxClassEntry entry{appkit::AxClassEntry::kControl, clsid, L"HALVIXTEST.NoLib.1", 1, 0, 1, nullptr};
  appkit::AxServer server{&entry, 1, lib, 1, 0};
  EXPECT_EQ(appkit::AxRegisterServer(server), (HRESULT)0x80040200);
  appkit::RegKey key;
  EXPECT_FALSE(key.Open(HKEY_LOCAL_MACHINE, L"Software\\Classes\\HALVIXTEST.NoLib.1"));
  // Nothing registered: unregistering has nothing to remove and succeeds.
  EXPECT_EQ(appkit::AxUnregisterServer(server), S_OK);
}

// Every row of the identity table follows the series its ids run in.
TEST(IdentityTable, IdsRunInOneSeries) {
  for (const suite::ControlIdentity& c : suite::kControls) {
    unsigned long n = c.typeLibId.Data1;
    EXPECT_EQ(c.dispatchIid.Data1, n + 1) << c.name;
    EXPECT_EQ(c.eventIid.Data1, n + 2) << c.name;
    // Graphics' class id lies outside its series; its page takes n+3.
    if (std::string(c.name) != "GRAPHICS") {
      EXPECT_EQ(c.clsid.Data1, n + 3) << c.name;
      EXPECT_EQ(c.pageClsid.Data1, n + 4) << c.name;
    } else {
      EXPECT_EQ(c.pageClsid.Data1, n + 3) << c.name;
    }
    EXPECT_EQ(std::wstring(c.progId).substr(std::wstring(c.progId).size() - 2), L".1");
  }
}

}  // namespace

namespace {
// A worker's hold keeps the module loaded even when no object lives.
TEST(ModuleLock, WorkersKeepTheModuleLoaded) {
  ASSERT_EQ(appkit::AxCanUnloadNow(), S_OK);
  {
    appkit::AxModuleLockHolder worker;
    EXPECT_EQ(appkit::AxCanUnloadNow(), S_FALSE);
  }
  EXPECT_EQ(appkit::AxCanUnloadNow(), S_OK);
}
}  // namespace
