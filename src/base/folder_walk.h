// The search of a folder tree for the files a command reads, a few folders
// at a time.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_descriptor.h"
#include "base/folder_listing.h"

namespace tolvar {

struct FoundFile {
  // The file's name: the walk's name prefix and its path below the top.
  std::string name;
  // Where the file really is: the real prefix and the same path; empty for a
  // symbolic link, which leads elsewhere.
  std::string real;
};

// Walks down from one folder depth first: a folder's matching files in
// order, then its subfolders' in order, names taken in the order and with
// the case folding of file_name.h. Hidden entries are left out: they are
// version-control folders and the "._name" shadows that copying from a Mac
// leaves in an export, never submissions. Links to folders are not
// followed, as os.walk does not, so below the top every entry that is no
// link is where its name says. Between chunks the walk keeps open the
// folders it is inside, at most the tree's depth of them.
class FolderWalk {
 public:
  // `name_prefix` and `real_prefix` are what the names of the top folder's
  // entries start with, as given and where they really are: empty or ending
  // in "/". A file matches when its name ends with one of `suffixes`
  // (lower-case ASCII) ignoring case. A subfolder whose real name is one of
  // `skip` is not searched.
  FolderWalk(std::string name_prefix, std::string real_prefix, std::vector<std::string> suffixes,
             std::set<std::string> skip);

  // The files found in the next folders: at least kEnoughFiles of them
  // unless the walk ends first, from at most kMostFolders folders, so that
  // the caller sees the next chunk soon even in a tree of empty folders.
  std::vector<FoundFile> next();
  bool finished() const { return pending_.empty(); }

  static constexpr std::size_t kEnoughFiles = 64;
  static constexpr int kMostFolders = 256;

 private:
  // A folder still to list, by what its entries' names start with.
  struct Pending {
    std::string name_prefix;
    std::string real_prefix;
    // How many folders below the top it is, and where its own name starts
    // in `name_prefix`.
    std::size_t depth = 0;
    std::size_t name_at = 0;
  };

  FileDescriptor open(const Pending& folder);
  void list(const Pending& folder, std::vector<FoundFile>& found);
  bool matches(std::string_view file) const;

  std::vector<std::string> suffixes_;
  std::set<std::string> skip_;
  // Subfolders go on in reverse order, so that they come off in order.
  std::vector<Pending> pending_;
  // The folders above the next one to list that still have subfolders
  // pending, by depth, kept open so that a subfolder is opened from its
  // parent and the system does not walk its whole path again. Depth first,
  // everything below a folder is listed before anything beside it, so a
  // folder is closed once the walk is back at its depth: at most the
  // tree's depth of them are open.
  std::vector<FileDescriptor> open_;
  // One listing for every folder, so that its storage is reused.
  FolderListing listing_;
};

}  // namespace tolvar
