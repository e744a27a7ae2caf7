#pragma once

#include "core/Array.h"
#include "core/Color.h"
#include "core/Pointer.h"
#include "scene/GeometryNode.h"

namespace nuv {

// A string of lamps on the vertices of another geometry node (its line). The lamps take the
// palette's colours in turn and one colour group at a time is dark, moving on every blink
// period, so the string seems to chase.
class Garland : public GeometryNode {
    NUV_DECLARE_OBJECT
public:
    Garland();
    ~Garland() override;

    // After the GeometryNode fields (without the runtime buffers): blink period, lamp size,
    // the palette, the line link.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;

    // Lamps built on the first update, then placed (quads) and blinked.
    void UpdateWorld(double dt) override;
    // Drawn late when the effect blends, otherwise at once; nothing without lamps.
    void Render(Renderer& renderer) override;
    // A copy of the line's world bound.
    void UpdateBound() override;
    int GetPrimitiveType() const override;
    void Draw(Renderer& renderer) override;

    GeometryNode* GetLine() const { return line_.Get(); }
    // Refused for the garland itself; the lamps are rebuilt at the next update.
    void SetLine(GeometryNode* line);
    Array<Color>& GetPalette() { return palette_; }
    // The lamps are rebuilt at the next update (after a palette or line change).
    void Rebuild() { lampCount_ = 0; }

    int32_t GetLampCount() const { return lampCount_; }
    int32_t GetDarkGroup() const { return darkGroup_; }
    int32_t GetPrimitiveCount() const { return primitiveCount_; }
    float GetBlinkTimer() const { return blinkTimer_; }

    float blinkPeriod = 1.0f;
    float lampSize = 1.0f;

private:
    void Build();
    // Every lamp's colour with the current dark group off and the previous one fully on.
    void Recolor(int previous);

    Array<Color> palette_{1, 1};
    Pointer<GeometryNode> line_;
    float blinkTimer_ = 0.0f;
    int32_t lampCount_ = 0;
    int32_t darkGroup_ = 0;
    int32_t primitiveCount_ = 0;
};

} // namespace nuv
