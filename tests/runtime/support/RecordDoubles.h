// Stand-ins for the record layer's classes that the runtime containers
// serve: a record identifier that serialises itself, a record buffer stored
// as its raw bytes, a memo set counted as a CKXUnknown, and an object with
// the native-access layer's two counts (internal for the library's holders,
// external for the runtime's), with the counting rule the reference arrays
// apply to such objects. Releases are written to a journal (the object's
// number), so tests can check their order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CKXUnknown.h"
#include "CRefTraits.h"
#include "CTSimpleTable.h"

// Record identifier: its serialised form is its bytes.
class CNARecordId {
 public:
  CNARecordId() = default;
  explicit CNARecordId(std::string bytes) : m_sBytes(std::move(bytes)) {}
  unsigned long nGetSerializedSize() const { return m_sBytes.size(); }
  void Serialize(unsigned char* dest, unsigned long size) const;
  bool DeSerialize(const unsigned char* src, unsigned long size);
  const std::string& sGetBytes() const { return m_sBytes; }

 private:
  std::string m_sBytes;
};

// Record buffer: m_nTailleBuffer bytes at m_pBuffer (owned).
struct CNAXQRecord {
  explicit CNAXQRecord(std::uint32_t nTaille, unsigned char remplissage = 0);
  ~CNAXQRecord();
  CNAXQRecord(const CNAXQRecord&) = delete;
  CNAXQRecord& operator=(const CNAXQRecord&) = delete;

  std::uint32_t m_nTailleBuffer;
  unsigned char* m_pBuffer;
};

template <>
struct CTSimpleTableHooks<CNAXQRecord>
    : CTSimpleTableRawHooks<CNAXQRecord, &CNAXQRecord::m_nTailleBuffer, &CNAXQRecord::m_pBuffer> {};

// Memo set: counted through CKXUnknown; counts its destructions.
class CNARecordMemo : public CKXUnknown {
 public:
  CNARecordMemo(int nNumero, std::vector<int>* pJournal, int* pnDetruits)
      : m_nNumero(nNumero), m_pJournal(pJournal), m_pnDetruits(pnDetruits) {}
  ~CNARecordMemo() override;
  std::uint32_t dwRelease() override;
  std::uint32_t nGetCount() const { return m_dwRefCount.load(); }

 private:
  int m_nNumero;
  std::vector<int>* m_pJournal;
  int* m_pnDetruits;
};

// Object with an internal and an external count.
class CInterfDouble {
 public:
  CInterfDouble(int nNumero, std::vector<int>* pJournal, int* pnDetruits)
      : m_nNumero(nNumero), m_pJournal(pJournal), m_pnDetruits(pnDetruits) {}
  virtual ~CInterfDouble();

  std::uint32_t m_nInterne = 0;
  std::uint32_t m_nExterne = 0;
  int m_nNumero;
  std::vector<int>* m_pJournal;
  int* m_pnDetruits;
};

// Take: internal + 1. Give back: internal - 1 when above 0; the object is
// deleted when the internal count drops from 1 to 0 while the external
// count is 0.
template <>
struct CRefTraits<CInterfDouble> {
  static void _AddRef(CInterfDouble* p) { ++p->m_nInterne; }
  static void _Release(CInterfDouble* p) {
    if (p->m_pJournal != nullptr) p->m_pJournal->push_back(p->m_nNumero);
    if (p->m_nInterne == 0) return;
    if (--p->m_nInterne == 0 && p->m_nExterne == 0) delete p;
  }
};
