#include "platform/GraphicsAdapter.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <algorithm>
#include <cctype>

#include "platform/HostGraphicsAdapter.h"
#include "platform/sdl/OpenGlAdapter.h"
#include "platform/sdl/VideoSystem.h"

namespace platform {
namespace {

// Parses digits at text[i...]; returns the number and how many digits there were.
int parseNumber(const char* text, size_t& i, int& digits) {
    int value = 0;
    digits = 0;
    while (std::isdigit(static_cast<unsigned char>(text[i])) && digits < 6) {
        value = value * 10 + (text[i] - '0');
        ++i;
        ++digits;
    }
    return value;
}

bool parseVersion(const char* text, int& major, int& minor, int& minorDigits) {
    if (text == nullptr) {
        return false;
    }
    size_t i = 0;
    while (text[i] != '\0' && !std::isdigit(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    int digits = 0;
    int parsedMajor = parseNumber(text, i, digits);
    if (digits == 0 || text[i] != '.') {
        return false;
    }
    ++i;
    int parsedMinor = parseNumber(text, i, minorDigits);
    if (minorDigits == 0) {
        return false;
    }
    major = parsedMajor;
    minor = parsedMinor;
    return true;
}

// The OpenGL entry points the query needs, fetched from the context (nothing links against libGL).
struct GlFunctions {
    using GetString = const GLubyte*(GLAPIENTRY*)(GLenum);
    using GetIntegerv = void(GLAPIENTRY*)(GLenum, GLint*);
    using GetError = GLenum(GLAPIENTRY*)();
    using GenObjects = void(GLAPIENTRY*)(GLsizei, GLuint*);
    using DeleteObjects = void(GLAPIENTRY*)(GLsizei, const GLuint*);
    using BindObject = void(GLAPIENTRY*)(GLenum, GLuint);
    using TexParameteri = void(GLAPIENTRY*)(GLenum, GLenum, GLint);
    using TexImage2D = void(GLAPIENTRY*)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                                         const void*);
    using FramebufferTexture2D = void(GLAPIENTRY*)(GLenum, GLenum, GLenum, GLuint, GLint);
    using CheckFramebufferStatus = GLenum(GLAPIENTRY*)(GLenum);

    GetString getString = nullptr;
    GetIntegerv getIntegerv = nullptr;
    GetError getError = nullptr;
    GenObjects genTextures = nullptr;
    DeleteObjects deleteTextures = nullptr;
    BindObject bindTexture = nullptr;
    TexParameteri texParameteri = nullptr;
    TexImage2D texImage2D = nullptr;
    GenObjects genFramebuffers = nullptr;
    DeleteObjects deleteFramebuffers = nullptr;
    BindObject bindFramebuffer = nullptr;
    FramebufferTexture2D framebufferTexture2D = nullptr;
    CheckFramebufferStatus checkFramebufferStatus = nullptr;
};

template <typename Function>
void load(Function& function, const char* name, const char* alternative = nullptr) {
    function = reinterpret_cast<Function>(SDL_GL_GetProcAddress(name));
    if (function == nullptr && alternative != nullptr) {
        function = reinterpret_cast<Function>(SDL_GL_GetProcAddress(alternative));
    }
}

void clearErrors(const GlFunctions& gl) {
    for (int i = 0; i < 16 && gl.getError() != GL_NO_ERROR; ++i) {
    }
}

bool r32fRenderTargetComplete(const GlFunctions& gl) {
    if (!gl.genTextures || !gl.deleteTextures || !gl.bindTexture || !gl.texParameteri || !gl.texImage2D ||
        !gl.genFramebuffers || !gl.deleteFramebuffers || !gl.bindFramebuffer || !gl.framebufferTexture2D ||
        !gl.checkFramebufferStatus) {
        return false;
    }
    constexpr GLenum kR32F = 0x822E;
    constexpr GLenum kRed = 0x1903;
    constexpr GLenum kFramebuffer = 0x8D40;
    constexpr GLenum kColorAttachment0 = 0x8CE0;
    constexpr GLenum kFramebufferComplete = 0x8CD5;
    clearErrors(gl);
    GLuint texture = 0;
    GLuint framebuffer = 0;
    gl.genTextures(1, &texture);
    gl.bindTexture(GL_TEXTURE_2D, texture);
    gl.texParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    gl.texParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    gl.texImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(kR32F), 16, 16, 0, kRed, GL_FLOAT, nullptr);
    bool complete = false;
    if (gl.getError() == GL_NO_ERROR) {
        gl.genFramebuffers(1, &framebuffer);
        gl.bindFramebuffer(kFramebuffer, framebuffer);
        gl.framebufferTexture2D(kFramebuffer, kColorAttachment0, GL_TEXTURE_2D, texture, 0);
        complete = gl.checkFramebufferStatus(kFramebuffer) == kFramebufferComplete;
        gl.bindFramebuffer(kFramebuffer, 0);
        gl.deleteFramebuffers(1, &framebuffer);
    }
    gl.bindTexture(GL_TEXTURE_2D, 0);
    gl.deleteTextures(1, &texture);
    clearErrors(gl);
    return complete;
}

OpenGlFacts queryFacts() {
    GlFunctions gl;
    load(gl.getString, "glGetString");
    load(gl.getIntegerv, "glGetIntegerv");
    load(gl.getError, "glGetError");
    load(gl.genTextures, "glGenTextures");
    load(gl.deleteTextures, "glDeleteTextures");
    load(gl.bindTexture, "glBindTexture");
    load(gl.texParameteri, "glTexParameteri");
    load(gl.texImage2D, "glTexImage2D");
    load(gl.genFramebuffers, "glGenFramebuffers", "glGenFramebuffersEXT");
    load(gl.deleteFramebuffers, "glDeleteFramebuffers", "glDeleteFramebuffersEXT");
    load(gl.bindFramebuffer, "glBindFramebuffer", "glBindFramebufferEXT");
    load(gl.framebufferTexture2D, "glFramebufferTexture2D", "glFramebufferTexture2DEXT");
    load(gl.checkFramebufferStatus, "glCheckFramebufferStatus", "glCheckFramebufferStatusEXT");

    OpenGlFacts facts;
    if (!gl.getString || !gl.getIntegerv || !gl.getError) {
        return facts;
    }
    clearErrors(gl);
    int digits = 0;
    parseVersion(reinterpret_cast<const char*>(gl.getString(GL_VERSION)), facts.versionMajor,
                 facts.versionMinor, digits);
    bool gl2 = facts.versionMajor >= 2;
    if (gl2 || SDL_GL_ExtensionSupported("GL_ARB_shading_language_100")) {
        constexpr GLenum kShadingLanguageVersion = 0x8B8C;
        int major = 0;
        int minor = 0;
        if (parseVersion(reinterpret_cast<const char*>(gl.getString(kShadingLanguageVersion)), major, minor,
                         digits)) {
            facts.shadingMajor = major;
            facts.shadingMinor = digits == 1 ? minor * 10 : minor;  // "1.3" means 1.30
        }
    }
    if (gl2 || SDL_GL_ExtensionSupported("GL_ARB_draw_buffers")) {
        constexpr GLenum kMaxDrawBuffers = 0x8824;
        GLint value = 0;
        gl.getIntegerv(kMaxDrawBuffers, &value);
        if (gl.getError() == GL_NO_ERROR) {
            facts.maxDrawBuffers = value;
        }
    }
    facts.stencilTwoSideExtension = SDL_GL_ExtensionSupported("GL_EXT_stencil_two_side") ||
                                    SDL_GL_ExtensionSupported("GL_ATI_separate_stencil");
    facts.r32fRenderTargetComplete = r32fRenderTargetComplete(gl);
    clearErrors(gl);
    return facts;
}

}  // namespace

std::unique_ptr<GraphicsAdapter> hostGraphicsAdapter() {
    if (!video::acquire()) {
        return nullptr;
    }
    std::unique_ptr<GraphicsAdapter> adapter;
    std::vector<DisplayMode> modes;
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode hostMode;
        if (SDL_GetDisplayMode(0, i, &hostMode) == 0 && hostMode.w > 0 && hostMode.h > 0) {
            modes.push_back({static_cast<uint32_t>(hostMode.w), static_cast<uint32_t>(hostMode.h),
                             static_cast<uint32_t>(std::max(0, hostMode.refresh_rate)),
                             formatFromHostPixelFormat(hostMode.format)});
        }
    }
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    if (count > 0) {
        SDL_GL_ResetAttributes();
        window = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 16, 16,
                                  SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    }
    if (window != nullptr) {
        context = SDL_GL_CreateContext(window);
    }
    if (context != nullptr) {
        adapter = std::make_unique<GraphicsAdapter>(capabilitiesFromOpenGl(queryFacts()), std::move(modes));
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(context);
    }
    if (window != nullptr) {
        SDL_DestroyWindow(window);
    }
    video::release();
    return adapter;
}

AdapterCapabilities capabilitiesFromOpenGl(const OpenGlFacts& facts) {
    AdapterCapabilities capabilities;
    capabilities.simultaneousRenderTargets = static_cast<uint32_t>(std::max(1, facts.maxDrawBuffers));
    capabilities.floatRenderTargetTexture = facts.r32fRenderTargetComplete;
    capabilities.twoSidedStencil = facts.versionMajor >= 2 || facts.stencilTwoSideExtension;
    if (facts.shadingMajor < 0) {
        capabilities.pixelShaderVersion = 0;
    } else if (facts.shadingMajor > 1 || (facts.shadingMajor == 1 && facts.shadingMinor >= 30)) {
        capabilities.pixelShaderVersion = kPixelShader3;
    } else {
        capabilities.pixelShaderVersion = kPixelShader2;
    }
    return capabilities;
}

bool parseGlVersion(const char* text, int& major, int& minor) {
    int digits = 0;
    return parseVersion(text, major, minor, digits);
}

uint32_t formatFromHostPixelFormat(uint32_t sdlPixelFormat) {
    switch (sdlPixelFormat) {
        case SDL_PIXELFORMAT_RGB888:  // 32 bits, the top byte unused
        case SDL_PIXELFORMAT_ARGB8888:
        case SDL_PIXELFORMAT_BGR888:
        case SDL_PIXELFORMAT_RGBX8888:
        case SDL_PIXELFORMAT_BGRX8888:
            return kFormatX8R8G8B8;  // a display has no alpha: every 32-bit mode is this one
        case SDL_PIXELFORMAT_RGB24:
        case SDL_PIXELFORMAT_BGR24:
            return kFormatR8G8B8;
        case SDL_PIXELFORMAT_RGB565:
            return kFormatR5G6B5;
        case SDL_PIXELFORMAT_RGB555:
            return kFormatX1R5G5B5;
        case SDL_PIXELFORMAT_ARGB2101010:
            return kFormatA2R10G10B10;
        default:
            return kFormatUnknown;
    }
}

// The hidden OpenGL window shares SDL's video system with the dialogs, which is not to be used from two
// threads at once: the query is never started ahead here, and take() asks on the caller's thread.
HostAdapterQuery* startHostAdapterQuery() {
    return nullptr;
}

std::unique_ptr<GraphicsAdapter> finishHostAdapterQuery(HostAdapterQuery*) {
    return hostGraphicsAdapter();
}

}  // namespace platform
