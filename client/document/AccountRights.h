#pragma once
// What the server says the logged-on account may do: one row per group of the
// account (its role and the project subtree it covers), as the rights list (5102)
// carries them. A project's role is the highest role of the rows covering it.
#include <optional>
#include <string>
#include <vector>

// Each role includes the ones before it.
enum class AccountRole { kNone = 0, kReader = 1, kAuthor = 2, kPublisher = 3 };

class AccountRights {
 public:
  struct Row {
    AccountRole role = AccountRole::kNone;
    // "Library->Project->Sub" as the server's administration writes it; "" is the whole library.
    std::string projectPath;
    std::string group;
  };

  // A rights list body: a record with the row count, then per row a record of the
  // role (1 reader, 2 author, 3 publisher), the project path and the group name.
  // None when the count does not match the rows, a field is missing or a role is unknown.
  static std::optional<AccountRights> Decode(const std::string& body);

  // The role in the project whose names below the library root are `shownPath`
  // (empty for the root itself): a row covers the project it names and every
  // project below it. kNone when no row covers it.
  AccountRole RoleOf(const std::vector<std::string>& shownPath) const;

  const std::vector<Row>& GetRows() const { return rows_; }

  // "reader", "author", "publisher"; "" for kNone.
  static const char* RoleName(AccountRole role);

 private:
  std::vector<Row> rows_;
};
