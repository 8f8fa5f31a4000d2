#pragma once
// The order of the store's critical sections: a thread holding one enters only a
// later one. Check-out and check-in take the project tree before the inventory;
// the backup and the root move take the inventory, then the user table; a write
// of the users file takes its save section inside the user table and may leave
// the table before it writes (the backup holds both); the lock
// table's own section is held only inside its calls, so it comes last.
namespace SectionRank {

constexpr int kProjectTree = 1;
constexpr int kInventory = 2;
constexpr int kUserTable = 3;
constexpr int kUsersSave = 4;
constexpr int kQueue = 5;
constexpr int kLockTable = 6;

}  // namespace SectionRank
