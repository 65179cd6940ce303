// The modem control's Test page: the modem search over COM1 to COM9 with
// the test sequence for every modem found, and the connection test, each on
// a worker of its own that alone owns the serial port.
#pragma once
#include <memory>

#include "ctlfw/testpage.h"

class CModemRunner;

namespace modemtest {

std::unique_ptr<ctlfw::TestPage> MakeModemTestPage(CModemRunner& runner);

}  // namespace modemtest
