// The sample control as a control module of its own.
#include "ctlfw/control.h"
#include "sample.h"

namespace {
// Test-only identity: ids of the tests' own, never registered by the suite.
#define SAMPLE_GUID(d1) GUID{d1, 0x5A11, 0x4C7E, {0x9E, 0x21, 0x00, 0x40, 0x33, 0x23, 0xFD, 0x64}}
constexpr suite::ControlIdentity kSample = {
    "CTLSAMPL", L"CTLSAMPL.OCX", SAMPLE_GUID(0x7E570003), L"CTLSAMPL.CtlsamplCtrl.1", SAMPLE_GUID(0x7E570004),
    L"CTLSAMPL.CtlsamplPropPage.1", SAMPLE_GUID(0x7E570000), SAMPLE_GUID(0x7E570001), SAMPLE_GUID(0x7E570002),
    0, {-1, -1}, {6, -1}, {"KytSMPL", nullptr}, nullptr};
}  // namespace

CTLFW_CONTROL_MODULE(kSample, SampleRunner)
