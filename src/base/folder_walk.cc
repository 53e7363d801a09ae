#include "base/folder_walk.h"

#include <algorithm>
#include <utility>

#include "base/file_name.h"
#include "base/folder_listing.h"

namespace tolvar {

FolderWalk::FolderWalk(std::string name_prefix, std::string real_prefix,
                       std::vector<std::string> suffixes, std::set<std::string> skip)
    : suffixes_(std::move(suffixes)),
      skip_(std::move(skip)),
      pending_{{std::move(name_prefix), std::move(real_prefix)}} {}

std::vector<FoundFile> FolderWalk::next() {
  std::vector<FoundFile> found;
  for (int listed = 0; listed < kMostFolders && found.size() < kEnoughFiles && !finished();
       ++listed) {
    const Pending folder = std::move(pending_.back());
    pending_.pop_back();
    list(folder, found);
  }
  return found;
}

bool FolderWalk::matches(const std::string& file) const {
  return std::any_of(suffixes_.begin(), suffixes_.end(), [&](const std::string& suffix) {
    return file_name_ends_with(file, suffix);
  });
}

// A folder that cannot be read holds nothing.
void FolderWalk::list(const Pending& folder, std::vector<FoundFile>& found) {
  FolderListing listing = list_folder(folder.name_prefix.empty() ? "." : folder.name_prefix);
  std::erase_if(listing.files, [&](const std::string& file) { return !matches(file); });
  std::sort(listing.files.begin(), listing.files.end(), file_name_precedes);
  std::sort(listing.links.begin(), listing.links.end());
  for (const std::string& file : listing.files) {
    const bool link = std::binary_search(listing.links.begin(), listing.links.end(), file);
    found.push_back({folder.name_prefix + file, link ? "" : folder.real_prefix + file});
  }
  std::sort(listing.folders.begin(), listing.folders.end(), file_name_precedes);
  for (auto subfolder = listing.folders.rbegin(); subfolder != listing.folders.rend();
       ++subfolder) {
    std::string real = folder.real_prefix + *subfolder;
    if (skip_.contains(real)) continue;
    pending_.push_back({folder.name_prefix + *subfolder + "/", std::move(real) + "/"});
  }
}

}  // namespace tolvar
