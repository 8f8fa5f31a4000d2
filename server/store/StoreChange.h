#pragma once
// The disk changes of one store operation, made whole or not at all. The steps are
// collected first; Commit records them in one journal file (fsynced) before the
// first change, makes them in order and removes the record last. A crash in between
// leaves the record, and the next start-up rolls it forward. Every step can be
// made again safely: a file is written only while it still holds what it held when
// the step was collected (or already holds the new content), so a record that
// outlived its operation never undoes a later change.
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

class StoreChange {
 public:
  // `journalFolder` holds the records; it is made when missing.
  explicit StoreChange(std::string journalFolder);

  // Replaces the file's whole content (a new file when there is none).
  void WriteFile(const std::string& path, std::string content);
  // Adds `bytes` at the end of the file, which must exist: the record keeps the
  // file's length and the hash of its last block instead of the whole old content.
  // False, nothing staged, when the file cannot be read, when its last byte is not
  // the last byte of `bytes` (they would run on from an unended record) or when
  // the change has a step for the file already.
  bool AppendFile(const std::string& path, std::string bytes);
  // Removes the file; its content is kept in memory to undo a failed commit.
  void RemoveFile(const std::string& path);
  // Moves a file to a path that must not exist yet. In place it gets the mode of the
  // library's record files, however private it was while it arrived; `readOnly` (or
  // a file read-only already) takes the write bits away.
  // Commit fsyncs the file's content before the move (unless `synced`: the caller
  // has, and nothing wrote to it since) and the folder entry after it.
  void MoveFile(const std::string& from, const std::string& to, bool readOnly, bool synced = false);
  // Makes the folder and the missing folders above it.
  void CreateFolder(const std::string& path);
  // Moves a folder with all it holds; the destination's parent is made.
  void MoveFolder(const std::string& from, const std::string& to);

  // Makes every step. A change of one step needs no record: that step is atomic.
  // On a failed step the steps made are undone and the result is false; a change
  // that cannot be undone keeps its record, so that the next start finishes it.
  // The content of every new file and moved file reaches the disk before the
  // record, each file synced on its own (several at once); after it they are only
  // renamed, and each folder they enter is synced once.
  bool Commit();

  // Where a path a record names lies now (the library may have been copied since).
  using PathPlacer = std::function<std::string(const std::string&)>;
  // Rolls every record in `journalFolder` forward and removes it; a record that
  // cannot be read or finished is named in `problems` and kept. False when any was.
  // Each path a record names is first given to `place` when there is one.
  static bool RecoverFolder(const std::string& journalFolder, std::vector<std::string>& problems,
                            const PathPlacer& place = {});
  // Whether the folder holds any record.
  static bool HasRecords(const std::string& journalFolder);

  static constexpr const char* kRecordSuffix = ".wxj";

 private:
  enum class Kind : char {
    Write = 'W', Remove = 'R', MoveFile = 'M', MoveReadOnly = 'N', CreateFolder = 'C', MoveFolder = 'F', Append = 'A'
  };
  struct Step {
    Kind kind = Kind::Write;
    std::string path;
    std::string target;     // Write: the new content; Append: the added bytes; moves: the destination
    bool hadOld = false;    // Write, Remove: the file existed when the step was collected
    std::string oldContent; // Write, Remove: kept for undo; not recorded
    std::uint64_t oldHash = 0;    // Append: of the last block before the added bytes
    std::uint64_t oldLength = 0;  // Append: the file's length before it
    bool madeFolder = false;  // CreateFolder: made by Commit, so undo removes it
    bool syncFolder = false;  // moves, new files: no later step syncs the destination's folder
    bool synced = false;      // moves: the file's content is on the disk already
    std::string prepared;     // Write of a new file in a recorded change: the temporary holding it,
                              // named in the record until its rename is made
  };
  enum class Outcome { Done, Impossible };
  static bool IsMove(Kind kind) { return kind == Kind::MoveFile || kind == Kind::MoveReadOnly; }

  void AddWithPreImage(Kind kind, const std::string& path, std::string target);
  void AddPathStep(Kind kind, const std::string& path, const std::string& target);
  void Push(Step step);
  // Writes each new file's content beside it and makes those and the moved files durable.
  bool PrepareFiles();
  void MarkFolderSyncs();
  void RemovePrepared(std::size_t from);
  bool WriteRecord(std::string& recordPath) const;
  bool Make(Step& step);
  bool Undo(const Step& step);
  // Folders a file was renamed into are added to `enteredFolders`, to be synced once.
  static Outcome RollForward(const Step& step, std::set<std::string>& enteredFolders);
  static Outcome RollAppendForward(const Step& step);
  static bool RecoverRecord(const std::string& recordPath, std::string& problem, const PathPlacer& place);
  static std::string EncodeRecord(const std::vector<Step>& steps);
  static bool DecodeRecord(const std::string& text, std::vector<Step>& steps);

  std::string journalFolder_;
  std::vector<Step> steps_;
  std::unordered_map<std::string, std::size_t> stepOf_;  // a path's first step
};
