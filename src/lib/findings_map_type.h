// What Form.map_findings gives: the findings of many submissions, judged on
// worker threads and handed back in order.
#pragma once

#include <cstddef>
#include <memory>

#include "lib/python.h"
#include "rules/engine.h"

namespace tolvar::py {

// A new reference to the iterator type, made from its type spec.
PyObject* make_findings_map_type(PyObject* module);

// A new iterator of `type` over the outcomes of every str in `submissions`
// (an iterable), which it hands to `batch`, closing it after the last: all
// at once when `buffer` is 0, else as the outcomes are asked for, keeping
// `buffer` of them taken ahead of the reader. nullptr with an exception
// set, a TypeError for an item among those taken at once that is no str.
PyObject* new_findings_map(PyObject* type, std::unique_ptr<JudgeBatch> batch,
                           PyObject* submissions, std::size_t buffer);

}  // namespace tolvar::py
