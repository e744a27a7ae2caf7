// The Direct3D 9 renderer's occlusion queries, frame read-back and gamma.
#include "render/d3d9/D3d9Renderer.h"
#include "render/d3d9/D3d9Support.h"

#include "core/ColorBuffer.h"
#include "core/FloatBuffer.h"
#include "core/IntBuffer.h"
#include "core/Log.h"
#include "core/Vector3Buffer.h"
#include "core/Vector4Buffer.h"
#include "media/image/Image.h"
#include "media/image/VolumeImage.h"
#include "render/CubeTexture.h"
#include "render/Pass.h"
#include "render/PixelShader.h"
#include "render/Shader.h"
#include "render/Texture.h"
#include "render/VertexShader.h"
#include "render/VolumeTexture.h"
#include "render/d3d9/D3d9StateMapping.h"
#include "scene/GeometryNode.h"
#include "scene/Light.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace nuv {

// --- Queries, read-back, gamma ---------------------------------------------------------------

void D3d9Renderer::BeginQuery(Object* query) {
    if (!query || !device_ || !GetCaps().occlusionQueries) return;
    Resource* resource = Find(query->GetId());
    if (!resource) {
        IDirect3DQuery9* made = nullptr;
        if (FAILED(device_->CreateQuery(D3DQUERYTYPE_OCCLUSION, &made)) || !made) return;
        resource = &Enter(query->GetId(), Kind::kQuery, nullptr);
        resource->object = made;
    }
    pausedProfileSection_ = profileSection_;
    SwitchProfileRun(-1);
    static_cast<IDirect3DQuery9*>(resource->object)->Issue(D3DISSUE_BEGIN);
}

void D3d9Renderer::EndQuery(Object* query) {
    if (!query || !device_) return;
    Resource* resource = Find(query->GetId());
    if (!resource || resource->kind != Kind::kQuery) return;
    auto* q = static_cast<IDirect3DQuery9*>(resource->object);
    q->Issue(D3DISSUE_END);
    // Waits for the count, as the callers expect it at once; a lost device gives none.
    DWORD samples = 0;
    HRESULT hr = S_FALSE;
    while ((hr = q->GetData(&samples, sizeof samples, D3DGETDATA_FLUSH)) == S_FALSE) {
    }
    resource->queryResult = hr == S_OK ? int(samples) : -1;
    if (pausedProfileSection_ >= 0) SwitchProfileRun(pausedProfileSection_);
    pausedProfileSection_ = -1;
}

// --- Profile ---------------------------------------------------------------------------------

namespace {

// Waits for a query's answer; false when the device has none to give (lost, or no such query).
template <typename T>
bool WaitFor(IDirect3DQuery9* query, T& value) {
    if (!query) return false;
    HRESULT hr = S_FALSE;
    while ((hr = query->GetData(&value, sizeof value, D3DGETDATA_FLUSH)) == S_FALSE) {
    }
    return hr == S_OK;
}

} // namespace

IDirect3DQuery9* D3d9Renderer::ProfileQuery(D3DQUERYTYPE type) {
    std::vector<IDirect3DQuery9*>& spare =
        type == D3DQUERYTYPE_OCCLUSION ? spareOcclusionQueries_ : spareTimestampQueries_;
    if (!spare.empty()) {
        IDirect3DQuery9* query = spare.back();
        spare.pop_back();
        return query;
    }
    IDirect3DQuery9* query = nullptr;
    return SUCCEEDED(device_->CreateQuery(type, &query)) ? query : nullptr;
}

void D3d9Renderer::SpareProfileQuery(IDirect3DQuery9* query, D3DQUERYTYPE type) {
    if (!query) return;
    (type == D3DQUERYTYPE_OCCLUSION ? spareOcclusionQueries_ : spareTimestampQueries_).push_back(query);
}

void D3d9Renderer::SwitchProfileRun(int section) {
    if (!device_) return;
    // Every begun stretch is ended, so that no query is left waiting for an end.
    if (profileSection_ >= 0 && !profileRuns_.empty()) {
        const ProfileRun& running = profileRuns_.back();
        if (running.samples) running.samples->Issue(D3DISSUE_END);
        if (running.end) running.end->Issue(D3DISSUE_END);
    }
    profileSection_ = lost_ ? -1 : section;
    if (profileSection_ < 0) return;
    ProfileRun run;
    run.section = section;
    run.begin = ProfileQuery(D3DQUERYTYPE_TIMESTAMP);
    run.end = run.begin ? ProfileQuery(D3DQUERYTYPE_TIMESTAMP) : nullptr;
    if (run.begin && !run.end) {
        SpareProfileQuery(run.begin, D3DQUERYTYPE_TIMESTAMP);
        run.begin = nullptr;
    }
    if (run.begin) run.begin->Issue(D3DISSUE_END);  // a time stamp is taken at its end
    if (GetCaps().occlusionQueries) run.samples = ProfileQuery(D3DQUERYTYPE_OCCLUSION);
    if (run.samples) run.samples->Issue(D3DISSUE_BEGIN);
    profileRuns_.push_back(run);
}

void D3d9Renderer::CollectProfile(std::vector<ProfileEntry>& totals) {
    if (!device_) return;
    // The running stretch is left for a later call; the finished ones wait for their answers.
    const size_t finished = profileRuns_.size() - (profileSection_ >= 0 && !profileRuns_.empty() ? 1 : 0);
    // Ticks per second, asked once for the stretches gathered now.
    UINT64 frequency = 0;
    bool timed = false;
    for (size_t i = 0; i < finished && !timed && !lost_; ++i) timed = profileRuns_[i].begin != nullptr;
    if (timed) {
        IDirect3DQuery9* rate = nullptr;
        if (SUCCEEDED(device_->CreateQuery(D3DQUERYTYPE_TIMESTAMPFREQ, &rate)) && rate) {
            rate->Issue(D3DISSUE_END);
            if (!WaitFor(rate, frequency)) frequency = 0;
            rate->Release();
        }
    }
    for (size_t i = 0; i < finished; ++i) {
        const ProfileRun& run = profileRuns_[i];
        // A lost device answers no query: its stretches are given up.
        if (!lost_ && run.section >= 0 && size_t(run.section) < totals.size()) {
            ProfileEntry& entry = totals[size_t(run.section)];
            DWORD samples = 0;
            if (WaitFor(run.samples, samples)) entry.samples = (entry.samples < 0 ? 0 : entry.samples) + samples;
            UINT64 from = 0, to = 0;
            if (frequency > 0 && WaitFor(run.begin, from) && WaitFor(run.end, to) && to >= from)
                entry.milliseconds = (entry.milliseconds < 0.0 ? 0.0 : entry.milliseconds) +
                                     double(to - from) * 1000.0 / double(frequency);
            ++entry.runs;
        }
        SpareProfileQuery(run.samples, D3DQUERYTYPE_OCCLUSION);
        SpareProfileQuery(run.begin, D3DQUERYTYPE_TIMESTAMP);
        SpareProfileQuery(run.end, D3DQUERYTYPE_TIMESTAMP);
    }
    profileRuns_.erase(profileRuns_.begin(), profileRuns_.begin() + std::ptrdiff_t(finished));
}

void D3d9Renderer::ReleaseProfileQueries() {
    SwitchProfileRun(-1);
    pausedProfileSection_ = -1;
    for (const ProfileRun& run : profileRuns_) {
        SpareProfileQuery(run.samples, D3DQUERYTYPE_OCCLUSION);
        SpareProfileQuery(run.begin, D3DQUERYTYPE_TIMESTAMP);
        SpareProfileQuery(run.end, D3DQUERYTYPE_TIMESTAMP);
    }
    profileRuns_.clear();
    for (IDirect3DQuery9* query : spareOcclusionQueries_) query->Release();
    for (IDirect3DQuery9* query : spareTimestampQueries_) query->Release();
    spareOcclusionQueries_.clear();
    spareTimestampQueries_.clear();
}

int D3d9Renderer::GetQueryResult(const Object* query) const {
    if (!query) return -1;
    auto it = resources_.find(query->GetId());
    return it == resources_.end() || it->second.kind != Kind::kQuery ? -1 : it->second.queryResult;
}

bool D3d9Renderer::ReadFrame(int& width, int& height, std::vector<uint8_t>& rgba) {
    if (!device_) return false;
    IDirect3DSurface9* target = nullptr;
    if (FAILED(device_->GetRenderTarget(0, &target)) || !target) return false;
    D3DSURFACE_DESC desc{};
    target->GetDesc(&desc);
    bool ok = desc.Format == D3DFMT_X8R8G8B8 || desc.Format == D3DFMT_A8R8G8B8;
    IDirect3DSurface9* resolved = nullptr;
    if (ok && desc.MultiSampleType != D3DMULTISAMPLE_NONE) {
        // A multisampled surface is resolved first: only plain ones can be read.
        ok = SUCCEEDED(device_->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE, 0, FALSE,
                                                   &resolved, nullptr)) &&
             SUCCEEDED(device_->StretchRect(target, nullptr, resolved, nullptr, D3DTEXF_NONE));
    }
    IDirect3DSurface9* copy = nullptr;
    ok = ok && SUCCEEDED(device_->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                              &copy, nullptr)) &&
         SUCCEEDED(device_->GetRenderTargetData(resolved ? resolved : target, copy));
    D3DLOCKED_RECT rect{};
    if (ok && SUCCEEDED(copy->LockRect(&rect, nullptr, D3DLOCK_READONLY))) {
        width = int(desc.Width);
        height = int(desc.Height);
        rgba.assign(size_t(width) * size_t(height) * 4, 0);
        // Rows bottom first, as images keep them.
        for (int y = 0; y < height; ++y) {
            const uint8_t* src = static_cast<const uint8_t*>(rect.pBits) + size_t(y) * size_t(rect.Pitch);
            uint8_t* dst = rgba.data() + size_t(height - 1 - y) * size_t(width) * 4;
            for (int x = 0; x < width; ++x, src += 4, dst += 4) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
                dst[3] = desc.Format == D3DFMT_A8R8G8B8 ? src[3] : 255;
            }
        }
        copy->UnlockRect();
    } else {
        ok = false;
    }
    D3d9Support::SafeRelease(copy);
    D3d9Support::SafeRelease(resolved);
    D3d9Support::SafeRelease(target);
    return ok;
}

void D3d9Renderer::SetGamma(int brightness) {
    uint16_t ramp[256];
    GammaRamp(brightness, ramp);
    D3DGAMMARAMP gamma{};
    for (int i = 0; i < 256; ++i) gamma.red[i] = gamma.green[i] = gamma.blue[i] = ramp[i];
    if (device_) device_->SetGammaRamp(0, D3DSGR_NO_CALIBRATION, &gamma);
}

void D3d9Renderer::ShowMessageBox(const char* text) {
    MessageBoxA(static_cast<HWND>(GetWindow()), text, "", MB_OK | MB_ICONERROR);
}

} // namespace nuv
