// The Information page's information-server client: requests, replies, the
// reader thread and Free Memory. Until the client is in place the page asks
// nothing and its list stays as it is (the state of a missing server).
#include "ctlfw/testinfo.h"

namespace ctlfw {

void CTestInfo::RequestInfo(bool reuse) {}

void CTestInfo::OnRefresh() { RequestInfo(false); }

void CTestInfo::OnFreeMemory() {}

LRESULT CTestInfo::OnServerReply(WPARAM wp, LPARAM lp) { return 1; }

void CTestInfo::StartReading(int category) {}

}  // namespace ctlfw
