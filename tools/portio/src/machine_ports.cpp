// Direct IN and OUT instructions, each at a known address: when the system
// refuses one (a privileged instruction without I/O permission), the
// process's exception handler steps over that one-byte instruction, reads
// 0xFF and notes the refusal.
#include "portio/portio.h"

namespace portio {

namespace {

// Set by the handler on the thread whose instruction was refused.
thread_local volatile bool t_refused = false;

extern "C" char kInInstruction[] asm("halvix_port_in_insn");
extern "C" char kOutInstruction[] asm("halvix_port_out_insn");

__attribute__((noinline)) uint8_t RawIn(uint16_t port) {
  uint8_t value;
  asm volatile(".globl halvix_port_in_insn\nhalvix_port_in_insn:\n\tinb %%dx, %%al" : "=a"(value) : "d"(port) : "memory");
  return value;
}

__attribute__((noinline)) void RawOut(uint16_t port, uint8_t value) {
  asm volatile(".globl halvix_port_out_insn\nhalvix_port_out_insn:\n\toutb %%al, %%dx" : : "a"(value), "d"(port) : "memory");
}

LONG CALLBACK StepOverRefusedAccess(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode != STATUS_PRIVILEGED_INSTRUCTION) return EXCEPTION_CONTINUE_SEARCH;
  void* at = info->ExceptionRecord->ExceptionAddress;
  if (at != kInInstruction && at != kOutInstruction) return EXCEPTION_CONTINUE_SEARCH;
  CONTEXT* c = info->ContextRecord;
  t_refused = true;
#if defined(_WIN64)
  if (at == kInInstruction) c->Rax |= 0xFF;
  c->Rip += 1;  // inb %dx,%al and outb %al,%dx are one byte each
#else
  if (at == kInInstruction) c->Eax |= 0xFF;
  c->Eip += 1;
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

void InstallHandlerOnce() {
  static PVOID handler = ::AddVectoredExceptionHandler(1, &StepOverRefusedAccess);
  (void)handler;
}

}  // namespace

uint8_t MachinePorts::In(uint16_t port) {
  InstallHandlerOnce();
  t_refused = false;
  uint8_t value = RawIn(port);
  if (t_refused) refused_ = true;
  return value;
}

void MachinePorts::Out(uint16_t port, uint8_t value) {
  InstallHandlerOnce();
  t_refused = false;
  RawOut(port, value);
  if (t_refused) refused_ = true;
}

bool MachineAccess::Acquire() {
  if (!nt_) return true;
  Release();
  driver_ = ::CreateFileW(device_, access_, 0, nullptr, OPEN_EXISTING, attributes_, nullptr);
  return driver_ != INVALID_HANDLE_VALUE;
}

void MachineAccess::Release() {
  if (driver_ != INVALID_HANDLE_VALUE) ::CloseHandle(driver_);
  driver_ = INVALID_HANDLE_VALUE;
}

}  // namespace portio
