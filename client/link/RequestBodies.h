#pragma once
// The body of every request the client sends, built in one place for the document's
// senders and for the queued instruction steps alike. A body is comma-separated
// record lines, each ended by "\n": texts quoted with inner quotes doubled, numbers
// and flags as decimal text. Only the tree request (5004) has an empty body.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class RequestBodies {
 public:
  // A file that follows a 5018 / 5026 request: its name in the folder, its size and
  // the comment sent with it.
  struct FileRow {
    std::string name;
    std::int32_t size = 0;
    std::string comment;
  };
  // A document named with one of its versions (5020, 5023).
  struct DocumentVersion {
    std::string name;
    std::int32_t version = 0;
  };
  // One reference to add (5037, 5041): a document version of the project it lives in.
  struct ReferenceRow {
    std::string name;
    std::int32_t version = 0;
    std::string projectIndexName;
    std::string comments;
  };

  // 5004: empty.
  static std::string RefreshProjects();
  // 5012: "parent","name"
  static std::string AddProject(const std::string& parentIndexName, const std::string& name);
  // 5015: "project"
  static std::string ListDocuments(const std::string& projectIndexName);
  // 5018: "folder","project",count then per file "name",size,"comment". The folder is
  // taken off by the connection, which sends the files from it in row order.
  static std::string AddDocuments(const std::string& folder, const std::string& projectIndexName,
                                  const std::vector<FileRow>& files);
  // 5020: "project",count then per document "name",version. No documents: the whole project.
  static std::string GetDocuments(const std::string& projectIndexName, const std::vector<DocumentVersion>& documents);
  // 5023: "project",count,referencing,referenced then per document "name",version.
  static std::string CheckOutDocuments(const std::string& projectIndexName,
                                       const std::vector<DocumentVersion>& documents, bool referencing,
                                       bool referenced);
  // 5026: "folder","project",count then per document "name",size,"comment"; the folder
  // is handled as for 5018.
  static std::string CheckInDocuments(const std::string& folder, const std::string& projectIndexName,
                                      const std::vector<FileRow>& files);
  // 5028: "project"
  static std::string ListVersions(const std::string& projectIndexName);
  // 5031: "parent","name","comments"; a parent "Root" is sent as an empty text.
  static std::string CreateEdition(const std::string& parentIndexName, const std::string& name,
                                   const std::string& comments);
  // 5034: "parent","name"
  static std::string AddOriginalProject(const std::string& parentIndexName, const std::string& name);
  // 5037: "edition",count then per reference "name",version,"project","comments".
  static std::string AddOriginalReferences(const std::string& editionIndexName, const std::vector<ReferenceRow>& rows);
  // 5039: "project"
  static std::string GetOriginalDocuments(const std::string& projectIndexName);
  // 5041: "project",count then per reference "name",version,"project","comments",1.
  static std::string AddDocumentReferences(const std::string& projectIndexName, const std::vector<ReferenceRow>& rows);
  // 5043: "parent","project"
  static std::string DeleteProject(const std::string& parentIndexName, const std::string& projectIndexName);
  // 5046: "project",count then per document "document index name".
  static std::string DeleteDocuments(const std::string& projectIndexName,
                                     const std::vector<std::string>& documentIndexNames);
  // 5104: "project",count then per document "document name".
  static std::string UndoCheckOut(const std::string& projectIndexName, const std::vector<std::string>& documentNames);
  // 5048: "project","new name"
  static std::string RenameProject(const std::string& projectIndexName, const std::string& newName);
  // 5051: "project","document","new name"
  static std::string RenameDocument(const std::string& projectIndexName, const std::string& documentIndexName,
                                    const std::string& newName);

  // The path of a file that follows a request: the folder, a separator unless the folder
  // is empty or ends in one, then the name.
  static std::string FilePath(const std::string& folder, const std::string& name);
  // The size of the file at `path` as a request carries it: none when the file does not
  // open for reading, is not a regular file, or holds 2^31 bytes or more (the size field
  // cannot carry it).
  static std::optional<std::int32_t> SendableFileSize(const std::string& path);
};
