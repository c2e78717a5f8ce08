#include "bench/mesa_peer.h"

#if defined(KX_HAVE_OSMESA)

#define GL_GLEXT_PROTOTYPES 1
#include <GL/osmesa.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

// OSMesa keeps a few hundred bytes of its own (framebuffer records made by
// OSMesaMakeCurrent) to the end of the process; the leak checker of the
// sanitizer build is told that they are not ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libOSMesa.so\n";
}

namespace {

struct Peer {
    OSMesaContext context = nullptr;
    std::vector<uint8_t> window; // the context's own buffer; drawing goes to the FBO
    int width = 0, height = 0;
    GLuint framebuffer = 0, colour = 0, depth = 0, program = 0;
    GLint textured = -1, pass = -1, premultiplied = -1;
    std::vector<unsigned> premultipliedTextures;
};
Peer peer;

// Pixels the viewport reaches beyond the target on each side.
constexpr int kMargin = 512;

// Attribute locations, bound before linking.
enum : GLuint { kPosition, kInvW, kColour, kTexCoord };

// Screen position to clip space with w = 1: every attribute is interpolated
// linearly on the screen, as the renderer does, and the fragment divides
// u/w and v/w by 1/w. (With w = 1 / (1/w) and the hardware's perspective
// correction instead, llvmpipe's clipping of triangles that reach far off
// the screen moves their screen-linear colours by several steps.) Depth is
// 1/w itself.
const char* kVertexShader = R"(#version 130
in vec2 position;
in float invW;
in vec4 colour;
in vec2 texCoordOverW;
uniform vec2 scale;
uniform vec2 offset;
noperspective out vec4 shade;
noperspective out vec3 texOverW;
void main() {
    gl_Position = vec4(position * scale + offset, 2.0 * invW - 1.0, 1.0);
    shade = colour;
    texOverW = vec3(texCoordOverW, invW);
}
)";
// Under blending a fragment's alpha is rounded as the renderer rounds it
// (vertex alpha to 8 bits, times the texel's, to nearest): full alpha is
// opaque, none is nothing, the rest blends. A premultiplied texel is
// divided by its filtered alpha first. `pass` draws a primitive's
// opaque fragments (1) or its partial ones (2); 0 draws it all, opaque; 3
// blends every fragment.
const char* kFragmentShader = R"(#version 130
noperspective in vec4 shade;
noperspective in vec3 texOverW;
uniform sampler2D texels;
uniform bool textured;
uniform bool premultiplied;
uniform int pass;
void main() {
    vec4 texel = textured ? texture(texels, texOverW.xy / texOverW.z) : vec4(1.0);
    if (premultiplied && texel.a > 0.0) texel.rgb /= texel.a;
    vec4 colour = texel * shade;
    if (pass == 3) {
        colour.a = shade.a * texel.a;
    } else if (pass != 0) {
        float a = floor(floor(shade.a * 255.0 + 0.5) * floor(texel.a * 255.0 + 0.5) / 255.0 + 0.5);
        if (pass == 1 ? a < 255.0 : (a >= 255.0 || a <= 0.0)) discard;
        colour.a = a / 255.0;
    }
    gl_FragColor = colour;
}
)";

bool compile(GLuint shader, const char* source, std::string& why) {
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok) return true;
    char log[1024] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    why = std::string("shader: ") + log;
    return false;
}

} // namespace

bool mesaOpen(int width, int height, std::string& why) {
    setenv("GALLIUM_DRIVER", "llvmpipe", 1);
    setenv("LP_NUM_THREADS", "0", 1);
    peer.context = OSMesaCreateContextExt(OSMESA_RGBA, 0, 0, 0, nullptr);
    if (!peer.context) {
        why = "OSMesaCreateContextExt failed";
        return false;
    }
    peer.width = width;
    peer.height = height;
    peer.window.assign(size_t(width) * size_t(height) * 4, 0);
    if (!OSMesaMakeCurrent(peer.context, peer.window.data(), GL_UNSIGNED_BYTE, width, height)) {
        why = "OSMesaMakeCurrent failed";
        mesaClose();
        return false;
    }
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (!renderer || !std::strstr(renderer, "llvmpipe")) {
        why = std::string("the renderer is not llvmpipe: ") + (renderer ? renderer : "none");
        mesaClose();
        return false;
    }
    glGenRenderbuffers(1, &peer.colour);
    glBindRenderbuffer(GL_RENDERBUFFER, peer.colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB565, width, height);
    glGenRenderbuffers(1, &peer.depth);
    glBindRenderbuffer(GL_RENDERBUFFER, peer.depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT32F, width, height);
    glGenFramebuffers(1, &peer.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, peer.framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, peer.colour);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, peer.depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        why = "no complete RGB565 framebuffer object";
        mesaClose();
        return false;
    }
    GLuint vs = glCreateShader(GL_VERTEX_SHADER), fs = glCreateShader(GL_FRAGMENT_SHADER);
    if (!compile(vs, kVertexShader, why) || !compile(fs, kFragmentShader, why)) {
        mesaClose();
        return false;
    }
    peer.program = glCreateProgram();
    glAttachShader(peer.program, vs);
    glAttachShader(peer.program, fs);
    glBindAttribLocation(peer.program, kPosition, "position");
    glBindAttribLocation(peer.program, kInvW, "invW");
    glBindAttribLocation(peer.program, kColour, "colour");
    glBindAttribLocation(peer.program, kTexCoord, "texCoordOverW");
    glLinkProgram(peer.program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint linked = 0;
    glGetProgramiv(peer.program, GL_LINK_STATUS, &linked);
    if (!linked) {
        why = "shader program does not link";
        mesaClose();
        return false;
    }
    glUseProgram(peer.program);
    // The viewport reaches kMargin pixels beyond the target on every side,
    // so that triangles reaching off the screen are rarely clipped:
    // llvmpipe's clipped triangles take planes that are off by as much as a
    // value changes over 1/76 pixel (texel coordinates by 0.02 texel).
    const float viewWidth = float(width + 2 * kMargin), viewHeight = float(height + 2 * kMargin);
    glUniform2f(glGetUniformLocation(peer.program, "scale"), 2.0f / viewWidth, -2.0f / viewHeight);
    glUniform2f(glGetUniformLocation(peer.program, "offset"), -float(width) / viewWidth,
                float(height) / viewHeight);
    glUniform1i(glGetUniformLocation(peer.program, "texels"), 0);
    peer.textured = glGetUniformLocation(peer.program, "textured");
    peer.pass = glGetUniformLocation(peer.program, "pass");
    peer.premultiplied = glGetUniformLocation(peer.program, "premultiplied");
    glViewport(-kMargin, -kMargin, width + 2 * kMargin, height + 2 * kMargin);
    glDisable(GL_DITHER);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_DEPTH_CLAMP);
    glDepthFunc(GL_GEQUAL); // larger 1/w is nearer; at equal depth the later one wins
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (GLuint a : {kPosition, kInvW, kColour, kTexCoord})
        glEnableVertexAttribArray(a);
    return true;
}

void mesaClose() {
    if (!peer.context) return;
    if (peer.program) glDeleteProgram(peer.program);
    if (peer.framebuffer) glDeleteFramebuffers(1, &peer.framebuffer);
    if (peer.colour) glDeleteRenderbuffers(1, &peer.colour);
    if (peer.depth) glDeleteRenderbuffers(1, &peer.depth);
    OSMesaDestroyContext(peer.context);
    peer = Peer{};
}

unsigned mesaTexture(const void* texels, int side, PeerTexels order, PeerSampling sampling) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GLenum format = order == PeerTexels::Bgra  ? GL_BGRA
                    : order == PeerTexels::Bgr ? GL_BGR
                                               : GL_RGBA;
    if (sampling == PeerSampling::LinearPremultiplied) {
        // In float, so that a faint texel's colour is not lost to 8 bits
        // before the divide gives it back.
        const uint8_t* in = static_cast<const uint8_t*>(texels);
        std::vector<float> premultiplied(size_t(side) * size_t(side) * 4);
        for (size_t i = 0; i < premultiplied.size(); i += 4) {
            const float a = in[i + 3] / 255.0f;
            for (size_t c = 0; c < 3; ++c)
                premultiplied[i + c] = in[i + c] / 255.0f * a;
            premultiplied[i + 3] = a;
        }
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, side, side, 0, GL_RGBA, GL_FLOAT,
                     premultiplied.data());
        peer.premultipliedTextures.push_back(name);
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, side, side, 0, format, GL_UNSIGNED_BYTE, texels);
    }
    const GLint filter = sampling == PeerSampling::Nearest ? GL_NEAREST : GL_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    return name;
}

void mesaDeleteTexture(unsigned name) {
    GLuint n = name;
    glDeleteTextures(1, &n);
    std::vector<unsigned>& p = peer.premultipliedTextures;
    p.erase(std::remove(p.begin(), p.end(), name), p.end());
}

void mesaClear() {
    glDepthMask(GL_TRUE);
    glClearColor(0, 0, 0, 0);
    glClearDepth(0.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void mesaState(unsigned texture, PeerPass pass) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glUniform1i(peer.textured, texture != 0);
    const std::vector<unsigned>& p = peer.premultipliedTextures;
    glUniform1i(peer.premultiplied,
                texture != 0 && std::find(p.begin(), p.end(), texture) != p.end());
    glUniform1i(peer.pass, int(pass));
    const bool blend = pass == PeerPass::PartialFragments || pass == PeerPass::Blended;
    if (blend)
        glEnable(GL_BLEND);
    else
        glDisable(GL_BLEND);
    glDepthMask(blend ? GL_FALSE : GL_TRUE);
}

void mesaFan(const SGLVERTEX* v, int n) {
    const GLsizei stride = sizeof(SGLVERTEX);
    glVertexAttribPointer(kPosition, 2, GL_FLOAT, GL_FALSE, stride, &v->x);
    glVertexAttribPointer(kInvW, 1, GL_FLOAT, GL_FALSE, stride, &v->invW);
    // 0xAARRGGBB in memory is blue, green, red, alpha.
    glVertexAttribPointer(kColour, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, &v->colour);
    glVertexAttribPointer(kTexCoord, 2, GL_FLOAT, GL_FALSE, stride, &v->uOverW);
    glDrawArrays(GL_TRIANGLE_FAN, 0, n);
}

void mesaFinish() {
    glFinish();
}

std::vector<uint16_t> mesaRead565() {
    std::vector<uint16_t> bottomUp(size_t(peer.width) * size_t(peer.height));
    glPixelStorei(GL_PACK_ALIGNMENT, 2);
    glReadPixels(0, 0, peer.width, peer.height, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, bottomUp.data());
    std::vector<uint16_t> out(bottomUp.size());
    for (int y = 0; y < peer.height; ++y)
        std::memcpy(&out[size_t(y) * size_t(peer.width)],
                    &bottomUp[size_t(peer.height - 1 - y) * size_t(peer.width)],
                    size_t(peer.width) * 2);
    return out;
}

#else

bool mesaOpen(int, int, std::string& why) {
    why = "built without OSMesa (install libosmesa6-dev and reconfigure)";
    return false;
}
void mesaClose() {}
unsigned mesaTexture(const void*, int, PeerTexels, PeerSampling) {
    return 0;
}
void mesaDeleteTexture(unsigned) {}
void mesaClear() {}
void mesaState(unsigned, PeerPass) {}
void mesaFan(const SGLVERTEX*, int) {}
void mesaFinish() {}
std::vector<uint16_t> mesaRead565() {
    return {};
}

#endif
