// Placeholder until this group is written.
#include "functions/library.h"

namespace tolvar {

std::span<const FunctionEntry> date_functions() { return {}; }

}  // namespace tolvar
