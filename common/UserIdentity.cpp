#include "common/UserIdentity.h"

void UserIdentity::SetUserId(std::uint32_t userId) { m_userId = userId; }

std::uint32_t UserIdentity::GetUserId() const { return m_userId; }

void UserIdentity::SetSecondWord(std::uint32_t word) { m_secondWord = word; }

std::uint32_t UserIdentity::GetSecondWord() const { return m_secondWord; }
