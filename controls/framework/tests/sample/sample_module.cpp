// The sample control as a control module of its own.
#include "ctlfw/control.h"
#include "sample.h"

namespace {
constexpr suite::ControlIdentity kSample[] = {
#define HALVIX_CONTROL SUITE_CONTROL_ROW
#include "sample/identity.inc"
#undef HALVIX_CONTROL
};
}  // namespace

CTLFW_CONTROL_MODULE(kSample[0], SampleRunner)
