// Both platforms: the framework file finder's walk over the entries its FindFile collected.
#include "platform/files.h"

BOOL CFileFind::FindNextFile() {
  if (m_next >= m_entries.size()) return FALSE;
  ++m_next;
  return m_next < m_entries.size() ? TRUE : FALSE;
}

void CFileFind::Close() {
  m_entries.clear();
  m_next = 0;
  m_root.clear();
}

const CFileFind::Entry* CFileFind::Current() const {
  return m_next > 0 && m_next <= m_entries.size() ? &m_entries[m_next - 1] : nullptr;
}

BOOL CFileFind::IsDots() const {
  const Entry* entry = Current();
  return entry && (entry->name == L"." || entry->name == L"..") ? TRUE : FALSE;
}

BOOL CFileFind::MatchesMask(DWORD dwMask) const {
  const Entry* entry = Current();
  return entry && (entry->attributes & dwMask) != 0 ? TRUE : FALSE;
}

std::wstring CFileFind::GetFileName() const {
  const Entry* entry = Current();
  return entry ? entry->name : std::wstring();
}

std::wstring CFileFind::GetFilePath() const {
  const Entry* entry = Current();
  return entry ? m_root + entry->name : std::wstring();
}
