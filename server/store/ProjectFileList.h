#pragma once
// The documents of one project: display name -> internal file name, kept in the
// order in which the names were first stored, with the path of the file it was
// last loaded from. On disk ("<project>_ProjectFileList.wxf"), two lines per
// document, the name then the internal name, each ending CR CR LF; nothing else.
// Copies share the rows they were made with, so copying a large list and adding a
// row to the copy cost little.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "server/store/StringList.h"

class ProjectFileList {
 public:
  ProjectFileList() = default;
  // Constructs empty and loads `path`; check LoadFailed() before trusting the content.
  explicit ProjectFileList(const std::string& path);

  // Removes every pair, empties the path and forgets a failed load.
  void Clear();

  bool Contains(const std::string& key) const;
  // The value of `key`, or "" when absent.
  std::string Lookup(const std::string& key) const;
  // False when key or value is empty or the key is present; else stores the pair.
  bool Add(const std::string& key, const std::string& value);
  // False when the key is empty or absent; else removes it.
  bool Remove(const std::string& key);
  // Stores the pair; an existing key keeps its place and takes the new value.
  void SetAt(const std::string& key, const std::string& value);
  int GetCount() const;

  // Append every key (value) to `list` in stored order; return it.
  StringList& GetKeys(StringList& list) const;
  StringList& GetValues(StringList& list) const;
  // Each value in stored order, without copying them.
  void ForEachValue(const std::function<void(const std::string&)>& visit) const;

  // Adds the pairs of the file at the full `path` to what the list holds and
  // remembers the path. True when the file was read whole, or when it does not
  // exist (a new project: nothing added, FileWasAbsent() is true). False for an
  // empty path, a missing folder, a file that cannot be read or that ends after a
  // name; the pairs read so far stay, and LoadFailed() stays true until the next
  // successful Load or Clear so that the list is never saved over its file.
  bool Load(const std::string& path);
  bool FileWasAbsent() const { return fileWasAbsent_; }
  bool LoadFailed() const { return loadFailed_; }

  // Replaces the file at the full `path` atomically with the pairs in stored order.
  // False (the old file unchanged) for an empty path, a missing folder, a failed
  // write, a name or value that does not fit one record line, or while LoadFailed()
  // is true.
  bool Save(const std::string& path) const;
  bool SaveToOwnPath() const { return Save(path_); }
  // The file's content as Save writes it into `content`; false when Save would refuse.
  bool Encode(std::string& content) const;
  // The bytes the pair of `key` adds at the end of the file, appended to `row`; false
  // when Encode would refuse the pair or the key is absent.
  bool EncodeRow(const std::string& key, std::string& row) const;
  const std::string& GetPath() const { return path_; }
  // The memory the list holds, roughly: what a cache counts it as.
  std::size_t ApproximateBytes() const;

 private:
  // Pairs in stored order with each key's position among them.
  struct Rows {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::unordered_map<std::string, std::size_t> indexOf;
    std::size_t textBytes = 0;  // twice each key (its index holds a copy) and each value
    void Append(const std::string& key, const std::string& value);
    const std::string* Find(const std::string& key) const;
    // Gives the pair of `key`, present, the new value.
    void Replace(const std::string& key, const std::string& value);
  };

  const std::string* Find(const std::string& key) const;
  template <class Visit>
  void ForEachPair(Visit visit) const;
  // The shared rows and the own ones as one new set of rows, without `left`.
  Rows Merged(const std::string* left) const;
  // Makes the own rows part of a new shared set once they are many.
  void FoldWhenLong();
  void Fold();

  // Never changed once made: the copies of a list hold the same rows. The rows
  // after them are this list's own; Fold keeps them fewer than about the square
  // root of the shared ones, which bounds both the cost of a copy and the cost of
  // folding per added row.
  std::shared_ptr<const Rows> shared_;
  Rows own_;
  std::string path_;
  bool fileWasAbsent_ = false;
  bool loadFailed_ = false;
};
