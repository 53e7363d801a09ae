// One folder's entries, sorted into what a search of submissions needs.
#pragma once

#include <string>
#include <vector>

namespace tolvar {

// Names as the system gives them, in the order it lists them. Hidden
// entries (names that start with ".") are left out.
struct FolderListing {
  // Everything that is not a directory, links to such things included.
  std::vector<std::string> files;
  // Those of `files` that are symbolic links.
  std::vector<std::string> links;
  // Directories that are not symbolic links: a link to a directory is
  // neither a file nor a folder to search.
  std::vector<std::string> folders;
};

// The folder's entries, or none when the folder cannot be read. Asks the
// system only about links, and about entries whose type the listing does
// not give.
FolderListing list_folder(const std::string& path);

}  // namespace tolvar
