// The disk control's Test page: the drive list, one to three file-test
// workers per drive or the one benchmark worker, the Verify button (Windows
// 9x), and the run's verdict, log and tips on the framework's Test page.
#pragma once
#include <memory>

#include "ctlfw/testpage.h"

class CFenwoldRunner;

namespace disktest {

std::unique_ptr<ctlfw::TestPage> MakeDiskTestPage(CFenwoldRunner& runner);

}  // namespace disktest
