#include "client/link/ReplyMessages.h"

#include <utility>

void ReplyMessages::Add(const std::string& text, const std::string& name) {
  text_ += text + " : " + projectName_ + "\r\n    " + name + "\r\n\r\n";
}

std::string ReplyMessages::Take() {
  std::string taken = std::move(text_);
  text_.clear();
  return taken;
}
