// The port control's Test page: runs the loopback testers one after the
// other on the page's own thread, judges their result files and ends the
// run with its verdict, log and tips on the framework's Test page.
#pragma once
#include <memory>

#include "ctlfw/testpage.h"

class CStrevanRunner;

namespace porttest {

std::unique_ptr<ctlfw::TestPage> MakePortTestPage(CStrevanRunner& runner);

}  // namespace porttest
