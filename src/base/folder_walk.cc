#include "base/folder_walk.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "base/file_name.h"

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

bool FolderWalk::matches(std::string_view file) const {
  return std::any_of(suffixes_.begin(), suffixes_.end(), [&](const std::string& suffix) {
    return file_name_ends_with(file, suffix);
  });
}

// From the parent's descriptor where there is one, else by the whole path.
// When descriptors run out, the walk gives up those it holds, so that a
// deep tree never needs more of them than a walk by paths would.
FileDescriptor FolderWalk::open(const Pending& folder) {
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(folder.depth), open_.end());
  if (!open_.empty() && open_.back().get() >= 0) {
    // The name ends in "/", which the system takes for a folder's name.
    const char* name = folder.name_prefix.c_str() + folder.name_at;
    const int fd = ::openat(open_.back().get(), name, kFlags);
    if (fd >= 0 || (errno != EMFILE && errno != ENFILE)) return FileDescriptor(fd);
    for (FileDescriptor& held : open_) held = FileDescriptor(-1);
  }
  const char* path = folder.name_prefix.empty() ? "." : folder.name_prefix.c_str();
  return FileDescriptor(::open(path, kFlags));
}

// A folder that cannot be read holds nothing.
void FolderWalk::list(const Pending& folder, std::vector<FoundFile>& found) {
  FileDescriptor descriptor = open(folder);
  list_folder(descriptor.get(), listing_, [this](std::string_view file) { return matches(file); });
  std::sort(listing_.files.begin(), listing_.files.end(), file_name_precedes);
  std::sort(listing_.links.begin(), listing_.links.end());
  for (const std::string& file : listing_.files) {
    const bool link = std::binary_search(listing_.links.begin(), listing_.links.end(), file);
    found.push_back({folder.name_prefix + file, link ? "" : folder.real_prefix + file});
  }
  std::sort(listing_.folders.begin(), listing_.folders.end(), file_name_precedes);
  const std::size_t before = pending_.size();
  for (auto subfolder = listing_.folders.rbegin(); subfolder != listing_.folders.rend();
       ++subfolder) {
    std::string real = folder.real_prefix + *subfolder;
    if (skip_.contains(real)) continue;
    pending_.push_back({folder.name_prefix + *subfolder + "/", std::move(real) + "/",
                        folder.depth + 1, folder.name_prefix.size()});
  }
  if (pending_.size() > before) open_.push_back(std::move(descriptor));
}

}  // namespace tolvar
