// Strevan, the port test control: one module of the suite.
#include "ctlfw/control.h"
#include "runner.h"

CTLFW_CONTROL_MODULE(suite::Control(suite::kCtlStrevan), CStrevanRunner)
