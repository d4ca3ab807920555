// IUTConfigAttach: the connection object the settings go through.
#include "ut_config.h"

namespace vx::utconfig {

CUTConfig::~CUTConfig() { DetachConnection(); }

HRESULT CUTConfig::AttachConnection(IUnknown* connection) {
  if (connection == nullptr) return E_INVALIDARG;
  DetachConnection();
  connection->AddRef();
  connection_ = connection;
  const HRESULT hr = connection->QueryInterface(IVexParams1::kIid, reinterpret_cast<void**>(&params_));
  if (FAILED(hr)) {
    // An object without IVexParams1 is not kept: both pointers are cleared
    // and the reference taken above is given back, so it does not leak.
    connection_ = nullptr;
    params_ = nullptr;
    connection->Release();
  }
  return hr;
}

HRESULT CUTConfig::DetachConnection() {
  if (params_ != nullptr) params_->Release();
  if (connection_ != nullptr) connection_->Release();
  params_ = nullptr;
  connection_ = nullptr;
  return S_OK;
}

HRESULT CUTConfig::IsConnectionAttached(int32_t* attached) {
  if (attached == nullptr) return E_INVALIDARG;
  *attached = connection_ != nullptr ? 1 : 0;
  return S_OK;
}

}  // namespace vx::utconfig
