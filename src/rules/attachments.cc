#include "rules/attachments.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "base/unicode.h"
#include "rules/csv_table.h"
#include "rules/source.h"

namespace tolvar {
namespace {

// The src schemes of a form's media files; the file name is the last
// segment, as export tools lay the files out in one folder.
constexpr std::array<std::string_view, 2> kFileSchemes = {"jr://file/", "jr://file-csv/"};

std::optional<std::string_view> attachment_name(std::string_view src) {
  src = trim_white(src);
  for (std::string_view scheme : kFileSchemes) {
    if (!src.starts_with(scheme)) continue;
    const std::string_view name = src.substr(src.rfind('/') + 1);
    if (name.empty()) return std::nullopt;
    return name;
  }
  return std::nullopt;
}

enum class FileKind { Csv, Xml, Other };

FileKind kind_of(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return FileKind::Other;
  const std::string_view extension = name.substr(dot + 1);
  if (equals_ignoring_ascii_case(extension, "csv")) return FileKind::Csv;
  if (equals_ignoring_ascii_case(extension, "xml")) return FileKind::Xml;
  return FileKind::Other;
}

// Where the named file is read from; nothing when it is not attached.
std::optional<std::string> path_of(const Attachments& attachments, std::string_view name) {
  auto named = attachments.files.find(name);
  if (named != attachments.files.end()) return named->second;
  if (attachments.folder.empty()) return std::nullopt;
  std::string path = attachments.folder + "/" + std::string(name);
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return std::nullopt;
  return path;
}

Result<XmlDocument> read_table(std::string_view name, const std::string& path, FileKind kind) {
  Result<std::string> content = read_text_file(path, name);
  if (!content.ok()) return content.failure();
  Result<XmlDocument> table =
      kind == FileKind::Csv ? read_csv_table(content.value()) : parse_xml(content.value());
  if (!table.ok()) return fail(path + ": " + table.error());
  return table;
}

Status check_folder(const std::string& folder) {
  std::error_code error;
  if (folder.empty() || std::filesystem::is_directory(folder, error)) return Done{};
  return fail("attachments: '" + folder + "' is not a folder");
}

}  // namespace

Status attach_files(Form& form, const Attachments& attachments) {
  Status folder = check_folder(attachments.folder);
  if (!folder.ok()) return folder;
  for (auto& [id, instance] : form.instances) {
    if (!is_unloaded_external(instance)) continue;
    const std::optional<std::string_view> name =
        attachment_name(*instance.attribute(instance.root, "src"));
    const FileKind kind = name ? kind_of(*name) : FileKind::Other;
    if (kind == FileKind::Other) continue;
    const std::optional<std::string> path = path_of(attachments, *name);
    if (!path) continue;
    Result<XmlDocument> table = read_table(*name, *path, kind);
    if (!table.ok()) return table.failure();
    instance.append_child(instance.root, instance.copy_from(table.value(), table.value().root));
    instance.renumber();
  }
  return Done{};
}

}  // namespace tolvar
