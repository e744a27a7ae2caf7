#pragma once

#include "platform/DynamicLibrary.h"

#include <d3d9.h>

#include <string>
#include <vector>

namespace nuv {

// The three calls of the D3DX utility library, from its DLL loaded by name at run time: a stock
// Windows has no such DLL, and without it the renderer still runs, with no programs and without
// compressed textures.
class D3dxLibrary {
public:
    static constexpr const char* kDefaultName = "d3dx9_43.dll";

    // False when the library or one of its calls is missing.
    bool Open(const char* name);
    void Close();
    bool IsOpen() const { return assemble_ != nullptr; }

    // Assembles a program text; false with the assembler's message in error.
    bool Assemble(const char* text, int length, std::vector<DWORD>& code, std::string& error) const;
    // Copies (and converts, compressing to DXT where the target is) one surface into another.
    bool LoadSurface(IDirect3DSurface9* target, IDirect3DSurface9* source) const;

private:
    using AssembleFunction = HRESULT(WINAPI*)(LPCSTR, UINT, const void*, void*, DWORD, void**, void**);
    using LoadSurfaceFunction = HRESULT(WINAPI*)(IDirect3DSurface9*, const PALETTEENTRY*, const RECT*,
                                                 IDirect3DSurface9*, const PALETTEENTRY*, const RECT*, DWORD,
                                                 D3DCOLOR);
    DynamicLibrary library_;
    AssembleFunction assemble_ = nullptr;
    LoadSurfaceFunction loadSurface_ = nullptr;
};

} // namespace nuv
