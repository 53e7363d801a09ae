// Placeholder until this group is written.
#include "functions/library.h"

namespace tolvar {

std::span<const FunctionEntry> numeric_functions() { return {}; }

}  // namespace tolvar
