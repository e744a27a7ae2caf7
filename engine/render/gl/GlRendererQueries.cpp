// The OpenGL renderer's occlusion queries, frame read-back and gamma.
#include "render/gl/GlRenderer.h"
#include "render/gl/GlSupport.h"

#include "core/ColorBuffer.h"
#include "core/FloatBuffer.h"
#include "core/IntBuffer.h"
#include "core/Log.h"
#include "core/ResourceLink.h"
#include "core/Vector3Buffer.h"
#include "core/Vector4Buffer.h"
#include "media/image/Image.h"
#include "media/image/VolumeImage.h"
#include "platform/SystemWindow.h"
#include "render/CubeTexture.h"
#include "render/Pass.h"
#include "render/PixelShader.h"
#include "render/Texture.h"
#include "render/VertexShader.h"
#include "render/VolumeTexture.h"
#include "render/gl/GlStateMapping.h"
#include "scene/GeometryNode.h"
#include "scene/Light.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace nuv {

// --- Queries ---------------------------------------------------------------------------------

void GlRenderer::BeginQuery(Object* query) {
    if (!query || !context_ || !GetCaps().occlusionQueries) return;
    Resource* resource = Find(query->GetId());
    if (!resource) {
        resource = &resources_[query->GetId()];
        resource->kind = Kind::kQuery;
        glGenQueries(1, &resource->name);
    }
    pausedProfileSection_ = profileSection_;
    SwitchProfileRun(-1);
    glBeginQuery(GL_SAMPLES_PASSED, resource->name);
}

void GlRenderer::EndQuery(Object* query) {
    if (!query || !context_) return;
    Resource* resource = Find(query->GetId());
    if (!resource || resource->kind != Kind::kQuery) return;
    glEndQuery(GL_SAMPLES_PASSED);
    // Waits for the count, as the callers expect it at once.
    GLint samples = 0;
    glGetQueryObjectiv(resource->name, GL_QUERY_RESULT, &samples);
    resource->queryResult = samples;
    if (pausedProfileSection_ >= 0) SwitchProfileRun(pausedProfileSection_);
    pausedProfileSection_ = -1;
}

// --- Profile ---------------------------------------------------------------------------------

GLuint GlRenderer::ProfileQuery() {
    GLuint query = 0;
    if (!spareProfileQueries_.empty()) {
        query = spareProfileQueries_.back();
        spareProfileQueries_.pop_back();
    } else {
        glGenQueries(1, &query);
    }
    return query;
}

void GlRenderer::SwitchProfileRun(int section) {
    if (!context_) return;
    if (profileSection_ >= 0) {
        if (timerQueries_) glEndQuery(GL_TIME_ELAPSED);
        glEndQuery(GL_SAMPLES_PASSED);
    }
    profileSection_ = section;
    if (section < 0) return;
    ProfileRun run;
    run.section = section;
    if (timerQueries_) {
        run.time = ProfileQuery();
        glBeginQuery(GL_TIME_ELAPSED, run.time);
    }
    run.samples = ProfileQuery();
    glBeginQuery(GL_SAMPLES_PASSED, run.samples);
    profileRuns_.push_back(run);
}

void GlRenderer::CollectProfile(std::vector<ProfileEntry>& totals) {
    if (!context_) return;
    // The running stretch is left for a later call; the finished ones wait for their counts.
    const size_t finished = profileRuns_.size() - (profileSection_ >= 0 && !profileRuns_.empty() ? 1 : 0);
    for (size_t i = 0; i < finished; ++i) {
        const ProfileRun& run = profileRuns_[i];
        if (run.section < 0 || size_t(run.section) >= totals.size()) continue;
        ProfileEntry& entry = totals[size_t(run.section)];
        GLuint samples = 0;
        glGetQueryObjectuiv(run.samples, GL_QUERY_RESULT, &samples);
        entry.samples = (entry.samples < 0 ? 0 : entry.samples) + int64_t(samples);
        spareProfileQueries_.push_back(run.samples);
        if (run.time) {
            GLuint64 nanoseconds = 0;
            glGetQueryObjectui64v(run.time, GL_QUERY_RESULT, &nanoseconds);
            entry.milliseconds = (entry.milliseconds < 0.0 ? 0.0 : entry.milliseconds) + double(nanoseconds) / 1e6;
            spareProfileQueries_.push_back(run.time);
        }
        ++entry.runs;
    }
    profileRuns_.erase(profileRuns_.begin(), profileRuns_.begin() + std::ptrdiff_t(finished));
}

void GlRenderer::ReleaseProfileQueries() {
    if (profileSection_ >= 0 && context_) {
        if (timerQueries_) glEndQuery(GL_TIME_ELAPSED);
        glEndQuery(GL_SAMPLES_PASSED);
    }
    profileSection_ = -1;
    pausedProfileSection_ = -1;
    for (const ProfileRun& run : profileRuns_) {
        spareProfileQueries_.push_back(run.samples);
        if (run.time) spareProfileQueries_.push_back(run.time);
    }
    profileRuns_.clear();
    if (context_ && !spareProfileQueries_.empty())
        glDeleteQueries(GLsizei(spareProfileQueries_.size()), spareProfileQueries_.data());
    spareProfileQueries_.clear();
}

int GlRenderer::GetQueryResult(const Object* query) const {
    if (!query) return -1;
    auto it = resources_.find(query->GetId());
    return it == resources_.end() || it->second.kind != Kind::kQuery ? -1 : it->second.queryResult;
}

bool GlRenderer::ReadFrame(int& width, int& height, std::vector<uint8_t>& rgba) {
    if (!context_) return false;
    width = viewportWidth_;
    height = viewportHeight_;
    rgba.assign(size_t(width) * size_t(height) * 4, 0);
    GLint framebuffer = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
    if (framebuffer == 0) glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    if (framebuffer != 0) {
        // A target holds its picture top row first.
        const size_t row = size_t(width) * 4;
        for (int r = 0; r < height / 2; ++r)
            std::swap_ranges(rgba.begin() + std::ptrdiff_t(size_t(r) * row),
                             rgba.begin() + std::ptrdiff_t(size_t(r + 1) * row),
                             rgba.begin() + std::ptrdiff_t(size_t(height - 1 - r) * row));
    }
    return glGetError() == GL_NO_ERROR;
}

// --- Gamma -----------------------------------------------------------------------------------

void GlRenderer::SetGamma(int brightness) {
    GammaRamp(brightness, gammaRamp_);
    bool identity = true;
    for (int i = 0; i < 256; ++i) identity = identity && gammaRamp_[i] == uint16_t(i * 256);
    // The window system's ramp where it takes effect; otherwise the finished frame is mapped.
    const bool shown = window_ && !foreignWindow_ &&
                       SDL_SetWindowGammaRamp(static_cast<SDL_Window*>(window_), gammaRamp_, gammaRamp_, gammaRamp_) == 0;
    gammaOnFrame_ = !shown && !identity;
    if (gammaOnFrame_ && context_ && gammaTextures_[1]) {
        glBindTexture(GL_TEXTURE_1D, gammaTextures_[1]);
        glTexImage1D(GL_TEXTURE_1D, 0, GL_LUMINANCE16, 256, 0, GL_LUMINANCE, GL_UNSIGNED_SHORT, gammaRamp_);
    }
}

void GlRenderer::ApplyGammaToFrame() {
    if (!gammaProgram_) {
        static const char* const kSource =
            "#version 120\n"
            "uniform sampler2D frame;\n"
            "uniform sampler1D ramp;\n"
            "float Map(float v) { return texture1D(ramp, (v * 255.0 + 0.5) / 256.0).r; }\n"
            "void main() {\n"
            "    vec3 c = texture2D(frame, gl_TexCoord[0].xy).rgb;\n"
            "    gl_FragColor = vec4(Map(c.r), Map(c.g), Map(c.b), 1.0);\n"
            "}\n";
        const GLuint shader = glCreateShader(GL_FRAGMENT_SHADER);
        glShaderSource(shader, 1, &kSource, nullptr);
        glCompileShader(shader);
        gammaProgram_ = glCreateProgram();
        glAttachShader(gammaProgram_, shader);
        glLinkProgram(gammaProgram_);
        glDeleteShader(shader);
        glGenTextures(2, gammaTextures_);
        glBindTexture(GL_TEXTURE_1D, gammaTextures_[1]);
        glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexImage1D(GL_TEXTURE_1D, 0, GL_LUMINANCE16, 256, 0, GL_LUMINANCE, GL_UNSIGNED_SHORT, gammaRamp_);
        glBindTexture(GL_TEXTURE_2D, gammaTextures_[0]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    }
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_1D, gammaTextures_[1]);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, gammaTextures_[0]);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, 0, 0, backWidth_, backHeight_, 0);
    glViewport(0, 0, backWidth_, backHeight_);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_FOG);
    glDisable(GL_LIGHTING);
    glDisable(GL_STENCIL_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glUseProgram(gammaProgram_);
    glUniform1i(glGetUniformLocation(gammaProgram_, "frame"), 0);
    glUniform1i(glGetUniformLocation(gammaProgram_, "ramp"), 1);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glBegin(GL_TRIANGLE_STRIP);
    glTexCoord2f(0, 0); glVertex2f(-1, -1);
    glTexCoord2f(1, 0); glVertex2f(1, -1);
    glTexCoord2f(0, 1); glVertex2f(-1, 1);
    glTexCoord2f(1, 1); glVertex2f(1, 1);
    glEnd();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glUseProgram(0);
    programInUse_ = false;
    glPopAttrib();
}

} // namespace nuv
