#include "KxHostConnection.h"

namespace {

// Wide form of a UTF-8 text (invalid bytes are taken as Latin-1).
std::wstring Wide(const std::string& s) {
  std::wstring w;
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int nMore = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    unsigned int u = nMore == 3 ? c & 0x07u : nMore == 2 ? c & 0x0Fu : nMore == 1 ? c & 0x1Fu : c;
    bool bValid = c < 0x80 || nMore > 0;
    for (int k = 1; bValid && k <= nMore; ++k) {
      const size_t j = i + static_cast<size_t>(k);
      if (j >= s.size() || (static_cast<unsigned char>(s[j]) & 0xC0) != 0x80) bValid = false;
      else u = u << 6 | (static_cast<unsigned char>(s[j]) & 0x3Fu);
    }
    if (!bValid) {
      w += static_cast<wchar_t>(c);
      ++i;
    } else {
      w += static_cast<wchar_t>(u);
      i += static_cast<size_t>(nMore) + 1;
    }
  }
  return w;
}

}  // namespace

void CKxHostConnection::Set(const std::string& sHost, unsigned int nPort,
                            const std::string& sSocket, const std::string& sUser,
                            const std::string& sPassword, const std::string& sDatabase) {
  // Without a host a socket-only connection goes through "localhost", the
  // name under which the client library uses the socket.
  m_sServer = Wide(!sHost.empty() ? sHost : !sSocket.empty() ? std::string("localhost") : sHost);
  m_sUser = Wide(sUser);
  m_sPassword = Wide(sPassword);
  m_sDatabase = Wide(sDatabase);
  m_sExtended.clear();
  if (nPort != 0) m_sExtended = L"Server Port=" + std::to_wstring(nPort);
  if (!sSocket.empty()) {
    if (!m_sExtended.empty()) m_sExtended += L";";
    m_sExtended += L"Unix Socket=" + Wide(sSocket);
  }
}

std::uint32_t CKxHostConnection::nExternalRelease() {
  // A release never taken is the driver's fault; the count stays at 0.
  if (m_nExternalCount == 0) return 0;
  return --m_nExternalCount;
}
