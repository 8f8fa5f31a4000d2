// The requests that read or change the project tree: 5004 the whole tree, 5012 and
// 5034 a new project, 5031 a new edition or supplement, 5043 and 5048 deleting and
// renaming a project, 5051 renaming a document. Each request gets one reply; projects
// reach the store by internal name only, and the tree is encoded under its latch.
#include <algorithm>
#include <functional>
#include <mutex>
#include <set>
#include <shared_mutex>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/EditionRecord.h"
#include "common/MessageIds.h"
#include "common/NameValidation.h"
#include "common/Msg.h"
#include "common/RecordFields.h"
#include "common/StringHelpers.h"
#include "common/SupplementRecord.h"
#include "server/engine/CWexmoorApp.h"
#include "server/engine/LibraryRequests.h"
#include "server/engine/RTE.h"
#include "server/engine/RequestDispatcher.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/StoreLimits.h"
#include "server/store/StringList.h"

namespace {

constexpr const char* kRenameRestrictionsText =
    "The following restrictions apply to renaming a document:\r\n"
    " 1. Renamed document cannot have same name as sibling document within project.\r\n"
    " 2. The document cannot be referenced by or contain references to any other document.\r\n";
constexpr const char* kInvalidRenameParametersText = "Supplied parameters are invalid.  Document rename aborted.\r\n";
constexpr int kDeleteProjectBadRequest = 56;
constexpr const char* kUnusableNewNameText =
    "The new name cannot be used: it is longer than 255 bytes or holds characters that a file name cannot.  "
    "Document rename aborted.\r\n";
constexpr const char* kRenameNotWrittenText =
    "The server could not write the library's records (its folder is read-only or its disk is full).  "
    "Document rename aborted.\r\n";
// A comment longer than the store takes, on a new edition or supplement.
constexpr int kEditionCommentTooLong = 59;

// The replies of a request that creates a node. Its codes run on from `emptyBody`
// (also given for a free text too long to store): nothing after field 1 or an
// unusable name, a sibling of that name, the folder not created, the folder already
// there.
struct CreationReplies {
  MessageId created;
  MessageId failed;
  int emptyBody;
};
constexpr CreationReplies kAddProjectReplies{MSGID_PROJECT_ADDED, MSGID_ADD_PROJECT_FAILED, 1};
constexpr CreationReplies kAddOriginalProjectReplies{MSGID_ORIGINAL_PROJECT_ADDED,
                                                     MSGID_ADD_ORIGINAL_PROJECT_FAILED, 29};
constexpr CreationReplies kCreateEditionReplies{MSGID_EDITION_CREATED, MSGID_CREATE_EDITION_FAILED, 24};

using DocumentHandler = std::function<bool(RTE&, const Msg&, CWexmoorDoc&)>;

// Without a server document the connection ends unanswered.
RequestDispatcher::Handler WithDocument(DocumentHandler handler) {
  return [handler = std::move(handler)](RTE& engine, const Msg& request) {
    CWexmoorDoc* document = CWexmoorApp::GetDocument();
    return document != nullptr && handler(engine, request, *document);
  };
}

// The leading string fields of a request body; `present` counts those that had text
// in front of them, the others read as empty.
struct RequestFields {
  std::vector<std::string> values;
  int present = 0;
};

RequestFields ReadRequestFields(const Msg& request, int count) {
  std::string rest = request.GetBodyText();
  RequestFields fields;
  fields.values.resize(static_cast<std::size_t>(count));
  for (std::string& value : fields.values) {
    if (rest.empty()) break;
    rest = ReadStringField(value, rest);
    ++fields.present;
  }
  return fields;
}

std::string CodeBody(int code) { return AppendIntField(code, ""); }

std::string ProjectLine(const std::string& internalName) { return EndRecord(AppendStringField(internalName, "")); }

std::string Trimmed(std::string text) { return TrimString(text); }

// Marks `project` shown when a group of the account covers it (`covered`: one covers
// an ancestor) or one of its sub-projects, which the tree must reach; true when marked.
bool MarkShown(const ServerProject& project, bool covered, const std::set<std::string>& subtrees,
               std::unordered_set<const ServerProject*>& shown) {
  covered = covered || subtrees.count(project.GetInternalName()) != 0;
  bool any = covered;
  for (int i = 0; i < project.GetSubProjectCount(); ++i) {
    any = MarkShown(*project.GetSubProjects().GetAt(i), covered, subtrees, shown) || any;
  }
  if (any) shown.insert(&project);
  return any;
}

// The root line, the empty edition and supplement lines, then every top-level
// project with its subtree that the account may see, read under the tree latch.
std::string EncodeProjectTree(CWexmoorDoc& document, const RTE& engine) {
  const int account = static_cast<int>(engine.GetUserIdentity().GetUserId());
  const std::vector<GroupRight> rights = document.GetGroups().Snapshot()->RightsOf(account);
  const bool wholeLibrary =
      std::any_of(rights.begin(), rights.end(), [](const GroupRight& right) { return right.subtree.empty(); });
  std::set<std::string> subtrees;
  for (const GroupRight& right : rights) subtrees.insert(right.subtree);
  std::shared_lock<std::shared_mutex> latch(document.GetProjectTreeLatch());
  const CWexmoorDoc::ProjectArray& projects = document.GetProjects();
  std::vector<const ServerProject*> tops;
  std::unordered_set<const ServerProject*> shown;
  for (int i = 0; i < projects.GetSize(); ++i) {
    if (wholeLibrary || MarkShown(*projects.GetAt(i), false, subtrees, shown)) tops.push_back(projects.GetAt(i));
  }
  std::function<bool(const ServerProject&)> filter;
  if (!wholeLibrary) filter = [&shown](const ServerProject& project) { return shown.count(&project) != 0; };
  std::string text = AppendStringField("Root", AppendStringField("Root", ""));
  text = AppendIntField(static_cast<std::int32_t>(tops.size()), std::move(text));
  for (int flag = 0; flag < 3; ++flag) text = AppendBoolField(false, std::move(text));
  text = SupplementRecord().Encode(EditionRecord().Encode(EndRecord(text)));
  // Appended one project at a time: Encode copies the text it continues.
  for (const ServerProject* top : tops) text += top->Encode("", filter);
  return text;
}

// Answers a creation's store result: the new node behind the request's first field,
// or the failure's code. An inventory that could not be saved left nothing created.
// Results without a code get no reply.
bool AnswerCreation(RTE& engine, const Msg& request, const CreationReplies& replies, int result,
                    const std::string& field1, const ServerProject& created) {
  int code = replies.emptyBody;
  switch (result) {
    case 0:
      return RequestDispatcher::SendReply(engine, request, replies.created, created.Encode(ProjectLine(field1)));
    case CWexmoorDoc::kBadProjectName:
      code += 1;
      break;
    case CWexmoorDoc::kDuplicateProjectName:
      code += 2;
      break;
    case CWexmoorDoc::kProjectFolderNotCreated:
    case CWexmoorDoc::kProjectFolderTooDeep:
    case ServerProject::kWriteFailed:
      code += 3;
      break;
    case CWexmoorDoc::kProjectFolderExists:
      code += 4;
      break;
    default:
      return true;
  }
  return RequestDispatcher::SendReply(engine, request, replies.failed, CodeBody(code));
}

bool RefuseUnwritable(RTE& engine, const Msg& request, CWexmoorDoc& document, const CreationReplies& replies) {
  NoteLibraryNotWritable(document, "a new project by " + RequestDispatcher::ActingUserName(engine).value_or(""));
  return RequestDispatcher::SendReply(engine, request, replies.failed, CodeBody(kLibraryNotWritableCode));
}

bool AddProject(RTE& engine, const Msg& request, CWexmoorDoc& document, const CreationReplies& replies,
                bool originalProject) {
  if (!document.IsLibraryWritable()) return RefuseUnwritable(engine, request, document, replies);
  const RequestFields fields = ReadRequestFields(request, 2);
  if (fields.present < 2) {
    return RequestDispatcher::SendReply(engine, request, replies.failed, CodeBody(replies.emptyBody + fields.present));
  }
  const std::string& parent = fields.values[0];
  const std::string& name = fields.values[1];
  ServerProject created;
  int result = document.CreateProject(parent, name, "", created, originalProject);
  // A parent that no project has (the client's root, or one deleted meanwhile)
  // places the project at the top level.
  if (result == CWexmoorDoc::kNoProjectMatch) result = document.CreateProject("", name, "", created, originalProject);
  return AnswerCreation(engine, request, replies, result, parent, created);
}

bool CreateEditionOrSupplement(RTE& engine, const Msg& request, CWexmoorDoc& document) {
  const RequestFields fields = ReadRequestFields(request, 3);
  const CreationReplies& replies = kCreateEditionReplies;
  if (!document.IsLibraryWritable()) return RefuseUnwritable(engine, request, document, replies);
  if (fields.present < 2) {
    return RequestDispatcher::SendReply(engine, request, replies.failed, CodeBody(replies.emptyBody + fields.present));
  }
  const std::string& project = fields.values[0];
  const std::string& name = fields.values[1];
  const std::string& comments = fields.values[2];
  const std::string creator = RequestDispatcher::ActingUserName(engine).value_or("");
  if (!IsStorableFreeText(comments) || !IsStorableFreeText(creator)) {
    document.GetRefusedWrites().Note(RefusedWriteNotes::Cause::CommentTooLong, document.GetRootPath(),
                                     "the edition \"" + name + "\" by " + creator);
    return RequestDispatcher::SendReply(engine, request, replies.failed, CodeBody(kEditionCommentTooLong));
  }
  ServerProject created;
  int result = document.IsEditionProject(project)
                   ? document.CreateSupplement(project, name, "", creator, comments, created)
                   : document.CreateEdition(project, name, "", creator, comments, created);
  // A project that does not exist (or is gone by now) gets a top-level edition.
  if (result == CWexmoorDoc::kNoProjectMatch) result = document.CreateEdition("", name, "", creator, comments, created);
  return AnswerCreation(engine, request, replies, result, project, created);
}

bool DeleteProject(RTE& engine, const Msg& request, CWexmoorDoc& document) {
  const RequestFields fields = ReadRequestFields(request, 2);
  if (fields.present < 2) {
    return RequestDispatcher::SendReply(engine, request, MSGID_DELETE_PROJECT_FAILED,
                                        CodeBody(kDeleteProjectBadRequest));
  }
  if (!document.IsLibraryWritable()) {
    NoteLibraryNotWritable(document,
                           "a project's deletion by " + RequestDispatcher::ActingUserName(engine).value_or(""));
    return RequestDispatcher::SendReply(engine, request, MSGID_DELETE_PROJECT_FAILED, kLibraryNotWritableLine);
  }
  StringList report;
  // A project that is not there counts as deleted.
  if (document.DeleteProject(fields.values[1], fields.values[0], report) == 0) {
    return RequestDispatcher::SendReply(engine, request, MSGID_PROJECT_DELETED, "");
  }
  std::string lines;
  for (int i = 0; i < report.GetSize(); ++i) lines += report.GetAt(i);
  return RequestDispatcher::SendReply(engine, request, MSGID_DELETE_PROJECT_FAILED, lines);
}

bool RenameProject(RTE& engine, const Msg& request, CWexmoorDoc& document) {
  const RequestFields fields = ReadRequestFields(request, 2);
  const std::string name = Trimmed(fields.values[1]);
  const bool renamed =
      fields.present == 2 && !name.empty() && document.RenameProject(fields.values[0], name) == 0;
  return RequestDispatcher::SendReply(engine, request, renamed ? MSGID_PROJECT_RENAMED : MSGID_RENAME_PROJECT_FAILED,
                                      "");
}

bool RenameDocument(RTE& engine, const Msg& request, CWexmoorDoc& document) {
  const RequestFields fields = ReadRequestFields(request, 3);
  if (fields.present < 3) return RequestDispatcher::SendReply(engine, request, MSGID_RENAME_DOCUMENT_FAILED, "");
  const std::string& project = fields.values[0];
  const std::string& internalFileName = fields.values[1];
  const std::string name = Trimmed(fields.values[2]);
  const std::string text = ProjectLine(project);
  const auto refuse = [&](const char* reason) {
    return RequestDispatcher::SendReply(engine, request, MSGID_RENAME_DOCUMENT_FAILED, AppendStringField(reason, text));
  };
  CWexmoorDoc::ProjectListing listing;
  if (!document.CopyProjectListing(project, listing) || internalFileName.empty() || name.empty()) {
    return refuse(kInvalidRenameParametersText);
  }
  if (!IsValidStoredName(name)) return refuse(kUnusableNewNameText);
  if (!document.IsLibraryWritable()) {
    NoteLibraryNotWritable(document, "a rename by " + RequestDispatcher::ActingUserName(engine).value_or(""));
    return refuse(kRenameNotWrittenText);
  }
  bool notSaved = false;
  if (document.RenameDocument(project, internalFileName, name, &notSaved)) {
    return RequestDispatcher::SendReply(engine, request, MSGID_DOCUMENT_RENAMED, text);
  }
  if (!notSaved) return refuse(kRenameRestrictionsText);
  NoteProjectNotWritten(document, project, "the renaming of a document");
  return refuse(kRenameNotWrittenText);
}

}  // namespace

void RegisterProjectTreeRequests(RequestDispatcher& dispatcher) {
  dispatcher.Register(MSGID_REFRESH_PROJECTS, WithDocument([](RTE& engine, const Msg& request, CWexmoorDoc& document) {
                        return RequestDispatcher::SendReply(engine, request, MSGID_PROJECT_TREE,
                                                            EncodeProjectTree(document, engine));
                      }));
  dispatcher.Register(MSGID_ADD_PROJECT, WithDocument([](RTE& engine, const Msg& request, CWexmoorDoc& document) {
                        return AddProject(engine, request, document, kAddProjectReplies, false);
                      }));
  dispatcher.Register(MSGID_ADD_ORIGINAL_PROJECT,
                      WithDocument([](RTE& engine, const Msg& request, CWexmoorDoc& document) {
                        return AddProject(engine, request, document, kAddOriginalProjectReplies, true);
                      }));
  dispatcher.Register(MSGID_CREATE_EDITION, WithDocument(&CreateEditionOrSupplement));
  dispatcher.Register(MSGID_DELETE_PROJECT, WithDocument(&DeleteProject));
  dispatcher.Register(MSGID_RENAME_PROJECT, WithDocument(&RenameProject));
  dispatcher.Register(MSGID_RENAME_DOCUMENT, WithDocument(&RenameDocument));
}
