#include "base/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace tolvar {
namespace {

// The entry's type as a listing gives it, asking the system when the
// listing does not; one the system cannot tell counts as a file.
unsigned char type_of(int folder, const struct dirent64& entry) {
  if (entry.d_type != DT_UNKNOWN) return entry.d_type;
  struct stat status;
  if (::fstatat(folder, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) return DT_REG;
  if (S_ISLNK(status.st_mode)) return DT_LNK;
  return S_ISDIR(status.st_mode) ? DT_DIR : DT_REG;
}

// A link counts by what it leads to; one that leads nowhere is a file.
bool leads_to_folder(int folder, const char* name) {
  struct stat target;
  return ::fstatat(folder, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
}

// The name is filtered before it is copied, and before a link is followed:
// most entries of an export are files that are not wanted.
void add(FolderListing& listing, int folder, const struct dirent64& entry,
         const FileFilter& wanted) {
  const unsigned char type = type_of(folder, entry);
  if (type == DT_DIR) {
    listing.folders.emplace_back(entry.d_name);
  } else if (wanted(entry.d_name)) {
    if (type != DT_LNK) {
      listing.files.emplace_back(entry.d_name);
    } else if (!leads_to_folder(folder, entry.d_name)) {
      listing.files.emplace_back(entry.d_name);
      listing.links.emplace_back(entry.d_name);
    }
  }
}

void clear(FolderListing& listing) {
  listing.files.clear();
  listing.links.clear();
  listing.folders.clear();
}

}  // namespace

// getdents64 rather than fdopendir: that asks for the folder's status first
// and allocates a stream, once per folder of a large export.
void list_folder(int folder, FolderListing& listing, const FileFilter& wanted) {
  clear(listing);
  if (folder < 0) return;
  alignas(8) char buffer[1 << 15];
  for (;;) {
    const ssize_t got = ::getdents64(folder, buffer, sizeof buffer);
    if (got == 0) return;
    if (got < 0) {
      if (errno == EINTR) continue;
      return clear(listing);
    }
    for (ssize_t at = 0; at < got;) {
      const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
      at += entry->d_reclen;
      if (entry->d_name[0] == '.') continue;  // hidden, and "." and ".."
      add(listing, folder, *entry, wanted);
    }
  }
}

}  // namespace tolvar
