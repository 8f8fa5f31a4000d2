#pragma once
// The messages one reply collects for its failed documents, in the order they were
// added, to be shown together once the whole reply is handled. Each entry reads
//   text " : " project "\r\n    " name "\r\n\r\n"
// with the project's display name given once for the reply.
#include <string>
#include <utility>

class ReplyMessages {
 public:
  explicit ReplyMessages(std::string projectName) : projectName_(std::move(projectName)) {}

  // Appends one entry for the document (or path) `name`.
  void Add(const std::string& text, const std::string& name);

  bool IsEmpty() const { return text_.empty(); }
  // Every entry so far, joined.
  const std::string& GetText() const { return text_; }
  // The joined entries; the list is empty afterwards.
  std::string Take();

 private:
  std::string projectName_;
  std::string text_;
};
