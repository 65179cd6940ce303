// The identity table against the texts it is read from and the type
// libraries the build makes of the same rows.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include "suite/controls.h"
#include "suite/guid.h"
#include "testsupport/process.h"

namespace {

bool SameGuid(const GUID& a, const GUID& b) { return ::IsEqualGUID(a, b) != FALSE; }

std::string GuidText(const GUID& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", (unsigned long)g.Data1,
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
  return buf;
}

TEST(GuidText, ParsesTheTypeLibraryFormOnly) {
  const GUID kUntouched{0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};
  struct Case {
    const char* text;
    bool ok;
    GUID want;
  };
  const Case cases[] = {
      {"A02BD608-F0F6-11D2-AA4B-00403323FD64", true,
       {0xA02BD608, 0xF0F6, 0x11D2, {0xAA, 0x4B, 0x00, 0x40, 0x33, 0x23, 0xFD, 0x64}}},
      {"a02bd608-f0f6-11d2-aa4b-00403323fd64", true,
       {0xA02BD608, 0xF0F6, 0x11D2, {0xAA, 0x4B, 0x00, 0x40, 0x33, 0x23, 0xFD, 0x64}}},
      // Byte order: Data4 is the last two groups in text order.
      {"01234567-89AB-CDEF-0123-456789ABCDEF", true,
       {0x01234567, 0x89AB, 0xCDEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}}},
      {"00000000-0000-0000-0000-000000000000", true, {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}}},
      {"FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF", true,
       {0xFFFFFFFF, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}},
      {nullptr, false, kUntouched},
      {"", false, kUntouched},
      {"A02BD608-F0F6-11D2-AA4B-00403323FD6", false, kUntouched},     // one digit short
      {"A02BD608-F0F6-11D2-AA4B-00403323FD645", false, kUntouched},   // one digit more
      {"{A02BD608-F0F6-11D2-AA4B-00403323FD64}", false, kUntouched},  // braces
      {"A02BD608F0F6-11D2-AA4B-00403323FD64-", false, kUntouched},    // hyphen moved
      {"A02BD608-F0F6-11D2-AA4B_00403323FD64", false, kUntouched},
      {"A02BD60G-F0F6-11D2-AA4B-00403323FD64", false, kUntouched},    // no hex digit
      {"A02BD608-F0F6-11D2-AA4B-00403323FD6 ", false, kUntouched},
      {"A02BD608-F0F6-11D2-AA4B-00403323FD64 ", false, kUntouched},   // trailing space
      {"A02BD608-F0F6-11D2\0AA4B-00403323FD64", false, kUntouched},   // ends early
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(nullptr)");
    GUID got = kUntouched;
    EXPECT_EQ(suite::ParseGuid(c.text, got), c.ok);
    EXPECT_TRUE(SameGuid(got, c.want)) << GuidText(got);
  }
}

// Guid() of a malformed text is no constant expression: a table holding one
// does not compile. The check is at compile time; it is held here so that it
// stands beside the cases above.
struct WellFormed {
  static constexpr const char* value = "D451B636-ED2D-11D2-AA49-00403323FD64";
};
struct Malformed {
  static constexpr const char* value = "D451B636-ED2D-11D2-AA49-00403323FD6X";
};
struct Short {
  static constexpr const char* value = "D451B636";
};
template <class Text, class = void>
struct IsConstantGuid : std::false_type {};
template <class Text>
struct IsConstantGuid<Text, std::void_t<std::integral_constant<unsigned long, suite::Guid(Text::value).Data1>>>
    : std::true_type {};

TEST(GuidText, MalformedTextIsNoConstant) {
  static_assert(IsConstantGuid<WellFormed>::value, "a well-formed text makes a constant");
  static_assert(!IsConstantGuid<Malformed>::value, "a malformed text makes no constant");
  static_assert(!IsConstantGuid<Short>::value, "a short text makes no constant");
  static_assert(suite::Guid(WellFormed::value).Data1 == 0xD451B636, "");
  SUCCEED();
}

// The middle word of a ProgID "KEY.<Display>Ctrl.1".
std::wstring DisplayName(const wchar_t* progId) {
  std::wstring p = progId;
  size_t dot = p.find(L'.');
  size_t tail = p.rfind(L"Ctrl.1");
  if (dot == std::wstring::npos || tail == std::wstring::npos || tail <= dot) return L"";
  return p.substr(dot + 1, tail - dot - 1);
}

std::wstring Name(ITypeInfo* info) {
  BSTR name = nullptr;
  if (FAILED(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr))) return L"";
  std::wstring s = name ? name : L"";
  ::SysFreeString(name);
  return s;
}

// The interface the coclass lists with exactly these flags.
bool ImplementedWithFlags(ITypeInfo* coclass, int flags, GUID* iid) {
  TYPEATTR* attr = nullptr;
  if (FAILED(coclass->GetTypeAttr(&attr))) return false;
  WORD count = attr->cImplTypes;
  coclass->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < count; ++i) {
    int f = 0;
    HREFTYPE ref = 0;
    ITypeInfo* impl = nullptr;
    if (FAILED(coclass->GetImplTypeFlags(i, &f)) || f != flags) continue;
    if (FAILED(coclass->GetRefTypeOfImplType(i, &ref)) || FAILED(coclass->GetRefTypeInfo(ref, &impl))) return false;
    TYPEATTR* a = nullptr;
    bool ok = SUCCEEDED(impl->GetTypeAttr(&a));
    if (ok) {
      *iid = a->guid;
      impl->ReleaseTypeAttr(a);
    }
    impl->Release();
    return ok;
  }
  return false;
}

// Each control's type library, as the build made it from the control's row,
// holds the table's ids and the names its ProgIDs are made of.
TEST(IdentityTable, TypeLibrariesHoldTheRowsIds) {
  ASSERT_EQ(::CoInitialize(nullptr), S_OK);
  for (const suite::ControlIdentity& c : suite::kControls) {
    SCOPED_TRACE(c.name);
    std::wstring display = DisplayName(c.progId);
    ASSERT_FALSE(display.empty()) << c.progId;
    ITypeLib* lib = nullptr;
    ASSERT_EQ(::LoadTypeLibEx(testsupport::SuitePath(c.file).c_str(), REGKIND_NONE, &lib), S_OK);
    TLIBATTR* libAttr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&libAttr), S_OK);
    EXPECT_TRUE(SameGuid(libAttr->guid, c.typeLibId)) << GuidText(libAttr->guid);
    EXPECT_EQ(libAttr->wMajorVerNum, suite::kControlTypeLibMajor);
    EXPECT_EQ(libAttr->wMinorVerNum, suite::kControlTypeLibMinor);
    lib->ReleaseTLibAttr(libAttr);
    BSTR libName = nullptr;
    ASSERT_EQ(lib->GetDocumentation(-1, &libName, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(std::wstring(libName), std::wstring(c.name, c.name + strlen(c.name)) + L"Lib");
    ::SysFreeString(libName);

    ITypeInfo* coclass = nullptr;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(c.clsid, &coclass), S_OK);
    EXPECT_EQ(Name(coclass), display);
    GUID iid{};
    EXPECT_TRUE(ImplementedWithFlags(coclass, IMPLTYPEFLAG_FDEFAULT, &iid));
    EXPECT_TRUE(SameGuid(iid, c.dispatchIid)) << GuidText(iid);
    iid = GUID{};
    EXPECT_TRUE(ImplementedWithFlags(coclass, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE, &iid));
    EXPECT_TRUE(SameGuid(iid, c.eventIid)) << GuidText(iid);
    coclass->Release();

    ITypeInfo* dispatch = nullptr;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(c.dispatchIid, &dispatch), S_OK);
    EXPECT_EQ(Name(dispatch), L"_D" + display);
    dispatch->Release();
    ITypeInfo* events = nullptr;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(c.eventIid, &events), S_OK);
    EXPECT_EQ(Name(events), L"_D" + display + L"Events");
    events->Release();
    lib->Release();
  }
  ::CoUninitialize();
}

}  // namespace
