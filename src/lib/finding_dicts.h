// Findings as the dicts the module returns.
#pragma once

#include "lib/python.h"
#include "rules/engine.h"

namespace tolvar::py {

// New references, or nullptr with an exception set.
PyObject* finding_dict(const Finding& finding);
PyObject* submission_finding_dict(const SubmissionFinding& finding);

}  // namespace tolvar::py
