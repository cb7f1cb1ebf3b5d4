#pragma once
// The container worker: chooses the inner installers (32-bit or 64-bit
// variants), shows the script's messages unless the run is silent, and runs
// the chosen installers one after another, each from a temporary file and
// waited for, under the progress window when more than one runs.

#include "container/container_rules.h"
#include "container/win/container_window.h"
#include "util/wide_string.h"
#include "util/win/sync.h"

// One container run, shared by the thread that starts the worker and the
// worker. The starter fills in the first two fields; the tally is complete
// once the worker has ended.
struct ContainerRun {
  WideString scriptPath;   // the payload's setup.dat
  WideString commandLine;  // the container's own command line
  ContainerProgress progress;
  ContainerTally tally;
};

// A WorkerProcedure; userValue is the ContainerRun. Tests stopEvent before
// each script line and each inner installer.
void ContainerWorker(NamedEvent& stopEvent, void* userValue);
