// The XML reader against pugixml's load_buffer on the same bytes, in one
// process: runs alternate between the two so both see the same machine state.
//
// usage: xml_read FILE RUNS
// prints one JSON object: {"tolvar": [seconds per run], "pugixml": [...], "nodes": n}
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "tree/document.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void print_list(const char* name, const std::vector<double>& values) {
  std::printf("\"%s\": [", name);
  for (std::size_t i = 0; i < values.size(); ++i) std::printf(i ? ", %.6f" : "%.6f", values[i]);
  std::printf("]");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s FILE RUNS\n", argv[0]);
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const int runs = std::atoi(argv[2]);
  std::vector<double> ours, theirs;
  std::size_t nodes = 0;
  for (int run = 0; run < runs; ++run) {
    auto start = Clock::now();
    {
      tolvar::Result<tolvar::XmlDocument> document = tolvar::parse_xml(text);
      if (!document.ok()) {
        std::fprintf(stderr, "tolvar: %s\n", document.error().c_str());
        return 1;
      }
      nodes = document.value().size();
    }  // freeing the tree is part of the cost, as it is for pugixml below
    ours.push_back(seconds_since(start));

    start = Clock::now();
    {
      pugi::xml_document document;
      pugi::xml_parse_result parsed = document.load_buffer(text.data(), text.size());
      if (!parsed) {
        std::fprintf(stderr, "pugixml: %s\n", parsed.description());
        return 1;
      }
    }
    theirs.push_back(seconds_since(start));
  }
  std::printf("{");
  print_list("tolvar", ours);
  std::printf(", ");
  print_list("pugixml", theirs);
  std::printf(", \"nodes\": %zu}\n", nodes);
  return 0;
}
