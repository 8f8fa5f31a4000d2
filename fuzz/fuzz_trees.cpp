// The tree decoders. The first byte picks one: the client's reader of the server
// layout (a reply body), the client's stored layout, or the server's inventory
// block. What is read is written, read again and written again to the same text;
// a server block that is written also reaches the client, as a tree reply, whole.
#include <sstream>

#include "client/library/ProjectNode.h"
#include "common/EditionRecord.h"
#include "common/QuotedLines.h"
#include "common/RecordFields.h"
#include "common/SupplementRecord.h"
#include "fuzz/FuzzSupport.h"
#include "server/store/ServerProject.h"

namespace {

// The client's stored layout of a node must read back to itself.
void CheckStoredLayout(const ProjectNode& node) {
  const std::string stored = node.Encode();
  ProjectNode again;
  QuotedLines lines(stored);
  FUZZ_CHECK(again.DecodeLines(lines));
  FUZZ_CHECK(again.Encode() == stored);
}

void ClientServerLayout(const std::string& input) {
  ProjectNode node;
  if (node.DecodeServer(input)) CheckStoredLayout(node);
}

void ClientStoredLayout(const std::string& input) {
  ProjectNode node;
  QuotedLines lines(input);
  if (node.DecodeLines(lines)) CheckStoredLayout(node);
}

// A tree reply as the server sends it: a root line, empty edition and supplement
// lines, then the one top-level project.
std::string TreeReply(const ServerProject& project) {
  std::string text = AppendIntField(1, AppendStringField("Root", AppendStringField("Root", "")));
  for (int flag = 0; flag < 3; ++flag) text = AppendBoolField(false, std::move(text));
  return SupplementRecord().Encode(EditionRecord().Encode(EndRecord(text))) + project.Encode("");
}

void ServerInventoryBlock(const std::string& input) {
  ServerProject project;
  std::istringstream in(input);
  if (project.Read(in, "") != 0) return;
  std::ostringstream out;
  if (project.Write(out) != 0) return;
  ServerProject again;
  std::istringstream back(out.str());
  FUZZ_CHECK(again.Read(back, "") == 0);
  std::ostringstream rewritten;
  FUZZ_CHECK(again.Write(rewritten) == 0);
  FUZZ_CHECK(rewritten.str() == out.str());
  ProjectNode client;
  FUZZ_CHECK(client.DecodeServer(TreeReply(again)));
}

using Decoder = void (*)(const std::string&);
constexpr Decoder kDecoders[] = {ClientServerLayout, ClientStoredLayout, ServerInventoryBlock};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  kDecoders[data[0] % std::size(kDecoders)](fuzz::Text(data + 1, size - 1));
  return 0;
}
