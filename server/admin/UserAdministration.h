#pragma once
// The changes the administration makes to the user table, for the windowed dialog
// and the command line alike. Each is made under the user-table section and saved
// before it counts: when the save fails the change is undone, so the table in
// memory and the users file agree, and the caller says so.
#include <functional>
#include <string>

class CWexmoorDoc;
class UserAccount;

class UserAdministration {
 public:
  static constexpr const char* kNotUniqueText =
      "Failed to add this user.  User details must be unique in the user table.";
  static constexpr const char* kSaveFailedText = "Failed to save updated user table to disk";

  enum class Result { Done, Absent, Duplicate, NotSaved };

  explicit UserAdministration(CWexmoorDoc& document) : document_(document) {}

  // Adds a validated account (id -1: a new one is allocated and written back).
  Result Add(UserAccount& account);
  // Removes the account; a failed save puts it back.
  Result Remove(int id);
  // Applies `change` to the stored account and saves; a failed save restores the
  // account as it was.
  Result Change(int id, const std::function<void(UserAccount&)>& change);

  // Why the account was not added when Add found a duplicate.
  static std::string DuplicateText(const std::string& name);
  // "TCP/IP", "Email", ... for a connection type; "" for none known.
  static const char* ConnectionTypeText(int type);

 private:
  CWexmoorDoc& document_;
};
