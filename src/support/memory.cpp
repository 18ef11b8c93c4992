#include "support/memory.h"

namespace sstrxv {

void endProcessWhenMemoryRunsOut() noexcept { endProcessWhenMemoryRunsOut<kProgramMemoryExhaustion>(); }

}  // namespace sstrxv
