// The headless simulation as one include: the engine (sim_engine.h), the
// program check (program_check.h) and the command line (sim_command_line.h).
// The project's own files include the part they use; this header is kept so
// code that names the whole still compiles.
#pragma once

#include "core/sim/program_check.h"
#include "core/sim/sim_command_line.h"
#include "core/sim/sim_engine.h"
