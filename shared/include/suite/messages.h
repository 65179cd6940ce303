// Registered window messages that cross the suite's processes.
#pragma once

namespace suite {

// Between the main program, module programs and the report wizard.
constexpr wchar_t kDiagMessage[] = L"kyt_diag_msg";
// Broadcast by a refused second start of the main program.
constexpr wchar_t kDiagSemaphoreMessage[] = L"kyt_diag_semaphore";
// Information-server request/reply message (also the name of its mutex).
constexpr wchar_t kQuorrelMessage[] = L"kyt_quorrel_msg";
// Information-server self-test message.
constexpr wchar_t kQuorrelMessage2[] = L"kyt_quorrel_msg2";
constexpr wchar_t kDrelmakMessage[] = L"kyt_drelmak_msg";

}  // namespace suite
