// IVexSecurity: the security password and the service programming code.
#include "kmxclient.h"
#include "vex_connection.h"

namespace vx::connect {

HRESULT CVexConnection::sendCode(LPCWSTR code, UINT* valid, bool serviceCode) {
  if (code == nullptr || valid == nullptr) return E_INVALIDARG;
  if (connection_ == nullptr) return VEX_E_NOT_CONNECTED;
  return vx::com::NoThrow([&]() -> HRESULT {
    // The UT compares the code's bytes in its own code page.
    const std::string text = vx::com::Utf16ToWindows1252(std::u16string_view(code, vx::com::WideLength(code)));
    uint8_t answer = 0;
    const int sent = serviceCode ? KMXSendSPCode(connection_, text.c_str(), &answer)
                                 : KMXSendSecurityPassword(connection_, text.c_str(), &answer);
    *valid = sent == 1 && answer == 1 ? 1 : 0;
    return S_OK;
  });
}

HRESULT CVexConnection::SendSecurityPassword(LPCWSTR pwzPassword, UINT* puIsValid) {
  return sendCode(pwzPassword, puIsValid, false);
}

HRESULT CVexConnection::SendSPCode(LPCWSTR pwzPassword, UINT* puIsValid) {
  return sendCode(pwzPassword, puIsValid, true);
}

}  // namespace vx::connect
