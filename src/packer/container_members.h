#pragma once
// The members of a container: every member but the script, licence and
// picture is an installer that the container runs in turn.

#include <string>

#include "pe/byte_source.h"

// True when the container runner never runs the member: its name without
// folder and last extension is "setup" (setup.dat, Setup.exe; not
// setup.v2.exe).
bool IsSetupName(const std::string& name);

// True when file is an installer built by this packer: a PE image that
// carries the payload resource (RT_RCDATA 24356). Only the resource
// directory is read.
bool HoldsPayload(const ByteSource& file);
