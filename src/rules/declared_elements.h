// The elements a form's primary instance declares, template rows included:
// what a caller's path can be checked against before an answer is written,
// since set_answer creates any element it does not find.
#pragma once

#include <string_view>
#include <utility>

#include "tree/document.h"

namespace tolvar {

class DeclaredElements {
 public:
  DeclaredElements() = default;
  // `primary` as the form writes it, before its templates are taken out.
  explicit DeclaredElements(XmlDocument primary) : primary_(std::move(primary)) {}

  // Whether the path, read as set_answer reads it and with row indices
  // dropped, names a declared element. A row of a repeat may carry elements
  // its first row lacks, so every row of that name is followed.
  bool contains(std::string_view path) const;

 private:
  XmlDocument primary_;
};

}  // namespace tolvar
