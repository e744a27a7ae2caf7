#pragma once

#include "core/Pointer.h"

namespace nuv {

class Buffer;
class ColorBuffer;
class GeometryNode;
class IntBuffer;
class Vector3Buffer;

// Takes the buffers that a node rebuilds every frame (particles, garland lamps) off it while
// its GeometryNode fields are written, and puts them back when it goes, so that the file
// carries none of them.
class RuntimeBuffersDetached {
public:
    explicit RuntimeBuffersDetached(GeometryNode& node);
    ~RuntimeBuffersDetached();
    RuntimeBuffersDetached(const RuntimeBuffersDetached&) = delete;
    RuntimeBuffersDetached& operator=(const RuntimeBuffersDetached&) = delete;

private:
    GeometryNode& node_;
    Pointer<Buffer> vertices_;
    Pointer<ColorBuffer> colors_;
    Pointer<IntBuffer> indices_;
    Pointer<Vector3Buffer> normals_;
    Pointer<Vector3Buffer> tangents_;
    Pointer<Buffer> set0_;
    Pointer<Buffer> set1_;
};

} // namespace nuv
