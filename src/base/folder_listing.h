// One folder's entries, sorted into what a search of submissions needs.
#pragma once

#include <functional>
#include <string>
#include <string_view>
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

// Which of a folder's files a listing keeps, by name.
using FileFilter = std::function<bool(std::string_view name)>;

// Fills `listing` with the entries of the open folder `folder`, keeping
// only the files `wanted` accepts; empty when the folder cannot be read.
// What the listing held before is dropped but its storage kept, so that a
// walk listing folder after folder into one listing allocates little. Asks
// the system only about links that are wanted, and about entries whose type
// the listing does not give.
void list_folder(int folder, FolderListing& listing, const FileFilter& wanted);

}  // namespace tolvar
