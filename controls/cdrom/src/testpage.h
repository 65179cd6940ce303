// The CD-ROM control's Test page: the CD drives, the reader library, and the
// tests (or the benchmark) of each drive run on the page's own thread.
#pragma once
#include <memory>

#include "ctlfw/testpage.h"

class CCdromRunner;

namespace cdtest {

std::unique_ptr<ctlfw::TestPage> MakeCdromTestPage(CCdromRunner& runner);

}  // namespace cdtest
