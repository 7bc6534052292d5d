// Child runs of the host's own program, for batch: Windows processes.
#pragma once

#include <memory>

#include "host/batch/BatchScheduler.h"

namespace host {

std::unique_ptr<ChildLauncher> makeOwnProgramLauncher();

}  // namespace host
