#include "app/win/process_start.h"

#include "util/win/windows_api.h"

void PrepareProcess() { SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX); }
