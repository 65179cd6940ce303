// Unregistration removes the keys and the type library; the control is
// registered again at once. Runs alone (RUN_SERIAL): other tests create the
// control meanwhile.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include "appkit/registry.h"
#include "testsupport/controls.h"
#include "suite/controls.h"
#include "testsupport/process.h"

namespace {

const suite::ControlIdentity& Z() { return suite::Control(suite::kCtlZentrel); }

std::wstring GuidText(REFGUID g) {
  wchar_t buf[64] = {};
  ::StringFromGUID2(g, buf, 64);
  return buf;
}

bool KeyExists(const std::wstring& sub) {
  appkit::RegKey key;
  return key.Open(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + sub);
}

TEST(ZentrelRegistration, UnregisterRemovesWhatRegisterWrote) {
  const std::wstring file = testsupport::SuitePath(L"ZENTREL.OCX");
  ASSERT_EQ(ctltest::RunRegsvr32(file), 0);
  const std::wstring clsid = L"CLSID\\" + GuidText(Z().clsid);
  const std::wstring page = L"CLSID\\" + GuidText(Z().pageClsid);
  ASSERT_TRUE(KeyExists(clsid));
  ASSERT_EQ(ctltest::RunRegsvr32(file, true), 0);
  bool clsidLeft = KeyExists(clsid), pageLeft = KeyExists(page), progIdLeft = KeyExists(L"ZENTREL.ZentrelCtrl.1");
  ITypeLib* lib = nullptr;
  HRESULT libHr = ::LoadRegTypeLib(Z().typeLibId, 1, 0, 0, &lib);
  if (lib) lib->Release();
  // A second unregistration finds nothing to remove and still succeeds.
  int again = ctltest::RunRegsvr32(file, true);
  ASSERT_EQ(ctltest::RunRegsvr32(file), 0);
  EXPECT_FALSE(clsidLeft);
  EXPECT_FALSE(pageLeft);
  EXPECT_FALSE(progIdLeft);
  EXPECT_NE(libHr, S_OK);
  EXPECT_EQ(again, 0);
  EXPECT_TRUE(KeyExists(clsid));
}

}  // namespace
