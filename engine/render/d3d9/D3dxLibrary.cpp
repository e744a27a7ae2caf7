#include "render/d3d9/D3dxLibrary.h"

#include "core/Status.h"

#include <d3dx9core.h>

#include <cstring>

namespace nuv {

namespace {
// D3DX_DEFAULT as a filter: the library's own choice.
constexpr DWORD kDefaultFilter = 0xFFFFFFFFu;
} // namespace

bool D3dxLibrary::Open(const char* name) {
    Close();
    if (!name || library_.Open(name) != kStatusOk) return false;
    assemble_ = reinterpret_cast<AssembleFunction>(library_.GetSymbol("D3DXAssembleShader"));
    loadSurface_ = reinterpret_cast<LoadSurfaceFunction>(library_.GetSymbol("D3DXLoadSurfaceFromSurface"));
    if (!assemble_ || !loadSurface_) {
        Close();
        return false;
    }
    return true;
}

void D3dxLibrary::Close() {
    assemble_ = nullptr;
    loadSurface_ = nullptr;
    library_.Close();
}

bool D3dxLibrary::Assemble(const char* text, int length, std::vector<DWORD>& code, std::string& error) const {
    code.clear();
    error.clear();
    if (!assemble_ || !text || length <= 0) return false;
    ID3DXBuffer* shader = nullptr;
    ID3DXBuffer* messages = nullptr;
    const HRESULT hr = assemble_(text, UINT(length), nullptr, nullptr, 0, reinterpret_cast<void**>(&shader),
                                 reinterpret_cast<void**>(&messages));
    if (messages) {
        const char* words = static_cast<const char*>(messages->GetBufferPointer());
        if (words) error.assign(words, strnlen(words, messages->GetBufferSize()));
        messages->Release();
    }
    if (FAILED(hr) || !shader) {
        if (shader) shader->Release();
        if (error.empty()) error = "D3DXAssembleShader failed";
        return false;
    }
    code.resize((shader->GetBufferSize() + 3) / 4);
    std::memcpy(code.data(), shader->GetBufferPointer(), shader->GetBufferSize());
    shader->Release();
    return true;
}

bool D3dxLibrary::LoadSurface(IDirect3DSurface9* target, IDirect3DSurface9* source) const {
    return loadSurface_ && target && source &&
           SUCCEEDED(loadSurface_(target, nullptr, nullptr, source, nullptr, nullptr, kDefaultFilter, 0));
}

} // namespace nuv
