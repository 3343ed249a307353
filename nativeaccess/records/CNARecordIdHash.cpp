#include "CNARecordIdHash.h"

#include <cstdint>

void* CNARecordIdHash::_Mot(int index) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(index)); }

int CNARecordIdHash::_nIndex(const void* mot) {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(mot));
}

bool CNARecordIdHash::bAdd(const void* key, int index) {
  if (key == nullptr || index < 0) return false;
  return m_clTable.bAddElement(const_cast<void*>(key), _Mot(index));
}

int CNARecordIdHash::nFind(const void* key) {
  void* pValue = nullptr;
  if (key == nullptr || !bReady() || !m_clTable.bGetElement(key, &pValue, nullptr)) return -1;
  return _nIndex(pValue);
}

bool CNARecordIdHash::bRemove(const void* key, int index) {
  if (key == nullptr || !bReady()) return false;
  return m_clTable.bDeleteElementValue(key, _Mot(index));
}

bool CNARecordIdHash::bRemoveIndex(int index) {
  if (m_clTable.dwGetNumElement() == 0) return false;
  unsigned int nCursor = 0;
  void* pValue = nullptr;
  void* pKey = nullptr;
  while (m_clTable.bParseTable(&nCursor, 0, &pValue, &pKey)) {
    if (_nIndex(pValue) != index) continue;
    m_clTable.StopParsing();
    return m_clTable.bDeleteElementValue(pKey, pValue);
  }
  return false;
}

void CNARecordIdHash::Shift(int from, int delta) {
  if (delta == 0 || m_clTable.dwGetNumElement() == 0) return;
  unsigned int nCursor = 0;
  void* pValue = nullptr;
  while (m_clTable.bParseTable(&nCursor, 0, &pValue, nullptr)) {
    const int n = _nIndex(pValue);
    if (n >= from) m_clTable.bParseSetElement(nCursor, _Mot(n + delta), nullptr);
  }
}
