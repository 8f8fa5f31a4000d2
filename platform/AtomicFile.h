#pragma once
// Replaces a file's whole content atomically: the bytes go to a temporary file in
// the target's folder, which is flushed, fsync'ed and renamed over the target, and
// the folder is fsync'ed. Readers see the old or the new content, never a mix; on
// any failure the old content stays and the temporary file is removed.
#include <functional>
#include <string>
#include <string_view>

namespace platform {

class AtomicFile {
 public:
  // Writes `content` as the new content of `path`. False on any failure.
  static bool Write(const std::string& path, std::string_view content);
  // The same for content that holds secrets: the new file is readable and writable
  // by its owner only, whatever the replaced file allowed, from its first byte on.
  static bool WriteOwnerOnly(const std::string& path, std::string_view content);

  // Test seam: called before each write(2) of the content with the number of bytes
  // about to be written; returning false makes that write fail. Null: no check.
  using WriteHook = std::function<bool(std::size_t bytes)>;
  static void SetWriteHookForTesting(WriteHook hook);
};

}  // namespace platform
