#include "scene/RuntimeBuffersDetached.h"

#include "core/ColorBuffer.h"
#include "core/IntBuffer.h"
#include "core/Vector3Buffer.h"
#include "scene/GeometryNode.h"

namespace nuv {

RuntimeBuffersDetached::RuntimeBuffersDetached(GeometryNode& node)
    : node_(node), vertices_(node.GetVertices()), colors_(node.GetColors()), indices_(node.GetIndices()),
      normals_(node.GetNormals()), tangents_(node.GetTangents()), set0_(node.GetTexCoords(0)),
      set1_(node.GetTexCoords(1)) {
    node_.SetVertices(nullptr);
    node_.SetColors(nullptr);
    node_.SetIndices(nullptr);
    node_.SetNormals(nullptr);
    node_.SetTexCoords(0, nullptr);
    node_.SetTexCoords(1, nullptr);
    // Removing the positions drops the tangents: they are written as they were.
    node_.SetTangents(tangents_.Get());
}

RuntimeBuffersDetached::~RuntimeBuffersDetached() {
    node_.SetVertices(vertices_.Get());
    node_.SetTangents(tangents_.Get());
    node_.SetColors(colors_.Get());
    node_.SetIndices(indices_.Get());
    node_.SetNormals(normals_.Get());
    node_.SetTexCoords(0, set0_.Get());
    node_.SetTexCoords(1, set1_.Get());
}

} // namespace nuv
