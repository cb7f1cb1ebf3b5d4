#pragma once
// The members of a container: every member but the script, licence and
// picture is an installer that the container runs in turn.

#include <string>
#include <vector>

#include "pe/byte_source.h"

// True when the container runner never runs the member: its name without
// folder and last extension is "setup" (setup.dat, Setup.exe; not
// setup.v2.exe).
bool IsSetupName(const std::string& name);

// The installers of a container that never run on 64-bit Windows: when any
// member's name holds "__PLI_WIN64" (the 64-bit variants), 64-bit Windows
// runs only those, so every other installer runs on 32-bit Windows alone.
// Empty when there is no such member. Names named setup are left out.
std::vector<std::string> SingleBitnessMembers(const std::vector<std::string>& names);

// True when file is an installer built by this packer: a PE image that
// carries the payload resource (RT_RCDATA 24356). Only the resource
// directory is read.
bool HoldsPayload(const ByteSource& file);
