#include "base/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstddef>
#include <string_view>

#include "base/file_descriptor.h"

namespace tolvar {
namespace {

enum class Kind { File, Link, Folder, LinkToFolder };

// A link counts by what it leads to; one that leads nowhere is a file.
Kind kind_of_link(int folder, const char* name) {
  struct stat target;
  const bool to_folder = ::fstatat(folder, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
  return to_folder ? Kind::LinkToFolder : Kind::Link;
}

Kind kind_of(int folder, const char* name, unsigned char type) {
  if (type == DT_DIR) return Kind::Folder;
  if (type == DT_LNK) return kind_of_link(folder, name);
  if (type != DT_UNKNOWN) return Kind::File;
  struct stat entry;
  if (::fstatat(folder, name, &entry, AT_SYMLINK_NOFOLLOW) != 0) return Kind::File;
  if (S_ISLNK(entry.st_mode)) return kind_of_link(folder, name);
  return S_ISDIR(entry.st_mode) ? Kind::Folder : Kind::File;
}

void add(FolderListing& listing, std::string_view name, Kind kind) {
  switch (kind) {
    case Kind::File: listing.files.emplace_back(name); break;
    case Kind::Link:
      listing.files.emplace_back(name);
      listing.links.emplace_back(name);
      break;
    case Kind::Folder: listing.folders.emplace_back(name); break;
    case Kind::LinkToFolder: break;
  }
}

}  // namespace

// getdents64 rather than opendir: opendir asks for the folder's status
// first, one more call into the system per folder of a large export.
FolderListing list_folder(const std::string& path) {
  const FileDescriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0) return {};
  FolderListing listing;
  alignas(8) char buffer[1 << 15];
  for (;;) {
    const ssize_t got = ::getdents64(folder.get(), buffer, sizeof buffer);
    if (got == 0) return listing;
    if (got < 0) {
      if (errno == EINTR) continue;
      return {};
    }
    for (ssize_t at = 0; at < got;) {
      const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
      at += entry->d_reclen;
      if (entry->d_name[0] == '.') continue;  // hidden, and "." and ".."
      add(listing, entry->d_name, kind_of(folder.get(), entry->d_name, entry->d_type));
    }
  }
}

}  // namespace tolvar
