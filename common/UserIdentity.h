#pragma once
// The identity pair at the head of every message: the user number of the account
// the connection is logged on as (0 = not logged on yet) and a second word that no
// operation gives a value; it is 0 from construction and only copied along.
#include <cstdint>

class UserIdentity {
 public:
  UserIdentity() = default;

  void SetUserId(std::uint32_t userId);
  std::uint32_t GetUserId() const;

  // The second word travels in the header; a receiver restores it from there.
  void SetSecondWord(std::uint32_t word);
  std::uint32_t GetSecondWord() const;

  // Equal when both words are equal.
  bool operator==(const UserIdentity& other) const = default;

 private:
  std::uint32_t m_userId = 0;
  std::uint32_t m_secondWord = 0;
};
