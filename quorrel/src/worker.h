// The request worker: one thread per accepted request writes (or reuses) a
// category's information file under the mutex "kyt_quorrel_msg" and tells
// the client with reply 101, or 103 when the file could not be written
// (the old one then stays as it was).
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "gather.h"
#include "infosink.h"
#include "suite/info.h"
#include "system.h"

namespace quorrel {

// Allocated with malloc by the server window, freed by its worker.
struct InfoRequest {
  HWND clientWindow;
  wchar_t path[suite::kInfoPathMax];
  uint32_t category;          // bit 31: reuse allowed
  int32_t summaryFlag;        // the writers' mode; always 0 from the server
  uint32_t replyMessage;      // "kyt_quorrel_msg", 0 = no reply
  uint32_t monitorMessage;    // "kyt_drelmak_msg"
  char dmiLine[160];
  // The summary and gatherer switches as read just before the worker started.
  int switches[suite::SW_COUNT];
  HWND softwareList;          // the server's hidden sorted list box
  SystemBindings system;      // the server's run-time bindings
};

DWORD WINAPI GatherCategoryThread(LPVOID request);
// Request workers that have started and not yet ended.
long LiveWorkerCount();

// Writes one category into an open file (summary flag 0). False when the
// text is not whole (a listing was cut short): it must not stand for the
// category.
bool WriteCategory(InfoSink& out, unsigned category, const GatherContext& ctx);
// KytSUM.IFO.
void WriteSummaryCategory(InfoSink& out, const GatherContext& ctx);
// Reuse rule of requests with bit 31 (registry and file time).
bool MayReuseInfoFile(const wchar_t* path);
// Writes a category's file at `path`: into a temporary file beside it,
// which replaces the old file only once it is whole. When that cannot be
// done (no temporary file, the drive full, a listing cut short, the old
// file held so that it cannot be replaced) the old file stays as it was and
// no temporary file is left. True when the new file is in place.
bool WriteInfoFile(const wchar_t* path, unsigned category, const GatherContext& ctx);
// Removes the temporary files that writers of a server that died left in
// `dir` (only names of the writers' own form).
void RemoveLeftoverTempFiles(const std::wstring& dir);

// The mutex shared by all writers and readers, created by the server window.
void OpenInfoMutex();
void CloseInfoMutex();
// Makes workers that still wait for the mutex give up (server closing).
void SignalWorkersToStop();
// True once the workers were told to stop.
bool WorkersAskedToStop();

}  // namespace quorrel
