// Shared pieces of the instance-editing tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

#include "eval/context.h"
#include "tree/document.h"
#include "tree_support.h"

namespace tolvar::testing {

inline const BareHost kEditHost("2024-01-01", "2024-01-01T00:00:00.000Z");

// The tree as written, without the declaration.
inline std::string tree_of(const XmlDocument& document) {
  return write_xml(document).substr(std::string_view("<?xml version='1.0' ?>").size());
}

}  // namespace tolvar::testing
