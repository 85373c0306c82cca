#pragma once
#include "mt/graphics/TextureDataSWPackedPlain.h"

namespace mt::graphics {

// Packed pixels whose segments hold two runs: partly transparent pixels, blended by their own alpha, then
// opaque pixels, drawn by the blend mode like the runs of packed plain data. In RGB_565 data the partly
// transparent pixels keep the ARGB_4444 layout.
class TextureDataSWPackedAlpha : public TextureDataSWPackedPlain {
  public:
    explicit TextureDataSWPackedAlpha(Texture* texture);
    ~TextureDataSWPackedAlpha() override;

  protected:
    void selectRuns() override;
};

}  // namespace mt::graphics
