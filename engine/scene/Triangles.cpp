#include "scene/Triangles.h"

#include "core/FloatBuffer.h"
#include "core/IntBuffer.h"
#include "core/Log.h"
#include "core/MathUtil.h"
#include "core/Vector2Buffer.h"
#include "core/Vector3Buffer.h"
#include "core/Vector4Buffer.h"

#include <algorithm>
#include <cmath>

namespace nuv {

NUV_IMPLEMENT_OBJECT(Triangles, GeometryNode)

namespace {

// In place; a sum too short to have a direction (degenerate triangles only) becomes zero.
void NormalizeAll(Vector3* vectors, int count) {
    for (int i = 0; i < count; ++i) {
        float lengthSquared = vectors[i].LengthSquared();
        if (std::isinf(lengthSquared)) {
            // Finite components whose squares overflow: shrink first so the direction survives.
            const Vector3& v = vectors[i];
            vectors[i] = v / std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
            lengthSquared = vectors[i].LengthSquared();
        }
        if (lengthSquared < kFloatEpsilon) vectors[i] = {};
        else vectors[i] = vectors[i] / std::sqrt(lengthSquared);
    }
}

bool InRange(int32_t index, int count) { return index >= 0 && index < count; }

// The first two components of texture coordinate i, whatever the buffer's width.
struct TexCoordReader {
    const float* data = nullptr;
    int stride = 0;  // floats per element
    int count = 0;
    float S(int i) const { return data[size_t(i) * size_t(stride)]; }
    float T(int i) const { return data[size_t(i) * size_t(stride) + 1]; }
};

} // namespace

void Triangles::ComputeNormals() {
    IntBuffer* indices = GetIndices();
    Buffer* vertices = GetVertices();
    if (!indices || !vertices || !vertices->IsExactly(Vector3Buffer::TYPE)) return;
    const int vertexCount = vertices->GetCount();
    Pointer<Vector3Buffer> normals = new (std::nothrow) Vector3Buffer(vertexCount);
    if (!normals || normals->GetCount() != vertexCount) {
        LogError("Недостаточно памяти для создания буффера нормалей. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return;
    }
    SetNormals(normals.Get());
    normals->MarkDirty();

    const Vector3* position = static_cast<Vector3Buffer*>(vertices)->GetElements();
    Vector3* normal = normals->GetElements();
    const int32_t* index = indices->GetElements();
    const int indexCount = indices->GetCount();
    for (int i = 0; i + 2 < indexCount; i += 3) {
        const int32_t i0 = index[i], i1 = index[i + 1], i2 = index[i + 2];
        // An index beyond the vertices (a damaged file) drops its triangle.
        if (!InRange(i0, vertexCount) || !InRange(i1, vertexCount) || !InRange(i2, vertexCount)) continue;
        // Not normalised, so larger triangles weigh more.
        const Vector3 n = Cross(position[i1] - position[i0], position[i2] - position[i0]);
        normal[i0] += n;
        normal[i1] += n;
        normal[i2] += n;
    }
    NormalizeAll(normal, vertexCount);
}

void Triangles::ComputeTangents(int set) {
    IntBuffer* indices = GetIndices();
    Buffer* vertices = GetVertices();
    Buffer* texCoords = GetTexCoords(set);
    if (!indices || !vertices || !vertices->IsExactly(Vector3Buffer::TYPE) || !texCoords) return;
    TexCoordReader uv;
    if (texCoords->IsExactly(Vector2Buffer::TYPE)) uv.stride = 2;
    else if (texCoords->IsExactly(Vector3Buffer::TYPE)) uv.stride = 3;
    else if (texCoords->IsExactly(Vector4Buffer::TYPE)) uv.stride = 4;
    else return;  // one component (or not coordinates at all): no (s, t) to follow
    uv.data = static_cast<const float*>(texCoords->GetData());
    uv.count = texCoords->GetCount();

    const int vertexCount = vertices->GetCount();
    Pointer<Vector3Buffer> tangents = new (std::nothrow) Vector3Buffer(vertexCount);
    if (!tangents || tangents->GetCount() != vertexCount) {
        LogError("Недостаточно памяти для создания буффера тангенсов. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        return;
    }
    SetTangents(tangents.Get());
    tangents->MarkDirty();

    const Vector3* position = static_cast<Vector3Buffer*>(vertices)->GetElements();
    Vector3* tangent = tangents->GetElements();
    const int32_t* index = indices->GetElements();
    // Texture coordinates may be fewer than the positions in a damaged file.
    const int usable = std::min(vertexCount, uv.count);
    const int triangles = indices->GetCount() / 3;
    for (int t = 0; t < triangles; ++t) {
        const int32_t i0 = index[3 * t], i1 = index[3 * t + 1], i2 = index[3 * t + 2];
        if (!InRange(i0, usable) || !InRange(i1, usable) || !InRange(i2, usable)) continue;
        const float ds1 = uv.S(i1) - uv.S(i0), dt1 = uv.T(i1) - uv.T(i0);
        const float ds2 = uv.S(i2) - uv.S(i0), dt2 = uv.T(i2) - uv.T(i0);
        Vector3 sum;
        for (int c = 0; c < 3; ++c) {
            const Vector3 e1(position[i1][c] - position[i0][c], ds1, dt1);
            const Vector3 e2(position[i2][c] - position[i0][c], ds2, dt2);
            const Vector3 k = Cross(e1, e2);
            sum[c] = -k.y / k.x;
        }
        // A triangle whose texture coordinates do not span an area (k.x = 0) has no u
        // direction: its infinities or NaNs would spoil every tangent it touches.
        if (!std::isfinite(sum.x) || !std::isfinite(sum.y) || !std::isfinite(sum.z)) continue;
        tangent[i0] += sum;
        tangent[i1] += sum;
        tangent[i2] += sum;
    }
    NormalizeAll(tangent, vertexCount);
}

} // namespace nuv
