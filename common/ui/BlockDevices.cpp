#include "common/ui/BlockDevices.h"

#include <filesystem>
#include <fstream>

namespace {

namespace stdfs = std::filesystem;

// The resolved path, or an empty one when it does not exist.
stdfs::path Resolved(const stdfs::path& path) {
  std::error_code error;
  stdfs::path resolved = stdfs::canonical(path, error);
  return error ? stdfs::path() : resolved;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Undoes the "\xHH" escapes of a by-label link name.
std::string UnescapeLabel(const std::string& name) {
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && HexValue(name[i + 2]) >= 0 &&
        HexValue(name[i + 3]) >= 0) {
      out += static_cast<char>(HexValue(name[i + 2]) * 16 + HexValue(name[i + 3]));
      i += 3;
      continue;
    }
    out += name[i];
  }
  return out;
}

bool FileSaysOne(const stdfs::path& file) {
  std::ifstream in(file);
  char flag = '0';
  return in >> flag && flag == '1';
}

}  // namespace

std::string LabelOfDevice(const std::string& device, const std::string& byLabelFolder) {
  if (device.empty() || device[0] != '/') return "";
  const stdfs::path target = Resolved(device);
  if (target.empty()) return "";
  std::error_code error;
  for (stdfs::directory_iterator it(byLabelFolder, error), end; !error && it != end; it.increment(error)) {
    if (Resolved(it->path()) == target) return UnescapeLabel(it->path().filename().string());
  }
  return "";
}

bool IsRemovableDevice(const std::string& device, const std::string& blockClassFolder) {
  if (device.empty() || device[0] != '/') return false;
  const stdfs::path target = Resolved(device);
  if (target.empty()) return false;
  const stdfs::path entry = Resolved(stdfs::path(blockClassFolder) / target.filename());
  if (entry.empty()) return false;
  // A partition has no flag of its own; its folder sits inside its disk's.
  if (stdfs::exists(entry / "removable")) return FileSaysOne(entry / "removable");
  return FileSaysOne(entry.parent_path() / "removable");
}
