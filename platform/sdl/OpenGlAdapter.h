#pragma once
#include <cstdint>

#include "platform/GraphicsAdapter.h"

// How the SDL backend answers the adapter's questions from a hidden OpenGL context: the draw buffers for
// the render targets, a complete framebuffer with an R32F texture for the float targets, OpenGL 2.0 or the
// two-sided stencil extension, and the shading language version for the pixel shader (3.0 for GLSL 1.30
// and later, 2.0 for older GLSL). Internal to the layer; pure functions, so that tests can check them.
namespace platform {

// What the OpenGL context reported; the host's answers are derived from it by capabilitiesFromOpenGl.
struct OpenGlFacts {
    int versionMajor = 0;  // GL_VERSION
    int versionMinor = 0;
    int shadingMajor = -1;  // GL_SHADING_LANGUAGE_VERSION; -1 when there is none
    int shadingMinor = 0;
    int maxDrawBuffers = 0;                 // GL_MAX_DRAW_BUFFERS; 0 when the query is not available
    bool r32fRenderTargetComplete = false;  // a framebuffer with an R32F colour texture was complete
    bool stencilTwoSideExtension = false;   // GL_EXT_stencil_two_side (or GL_ATI_separate_stencil)
};
AdapterCapabilities capabilitiesFromOpenGl(const OpenGlFacts& facts);

// Parses the leading "major.minor" of an OpenGL version text (also "OpenGL ES 3.2 ..."); false when
// there is none.
bool parseGlVersion(const char* text, int& major, int& minor);

// The format code for an SDL pixel format of a display mode.
uint32_t formatFromHostPixelFormat(uint32_t sdlPixelFormat);

}  // namespace platform
