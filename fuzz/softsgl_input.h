// The softsgl harness's input: a sequence of steps, each a byte naming the
// operation (modulo their count) followed by the bytes its arguments take.
// Arguments read past the end of the input are zero.
#pragma once

namespace softsglfuzz {

enum class Operation {
    GetVersions,
    UseAddressMode, // the target the callback hands out, then the callback and status
    UseEorCallback, // counting, failing or none
    CreateDevice,   // device number, width, height, colour mode, double buffering
    DeleteDevice,
    StartOfFrame,
    Points,     // count, then the vertices
    Lines,      // count, index pairs, vertices
    Triangles,  // count, index triples (a fan or any), vertices
    Triangles2, // the same, twice as often
    Render,     // and sometimes again, which must draw the same pixels
    IsRenderComplete,
    FreeTextureMemory,
    CreateTexture, // map type, size code, mipmap, dither, map
    SetTexture,    // name, mip level, regenerate, map
    DeleteTexture,
    ChangeContext, // the flag word, a flag, the texture name or any other word
    TextureBudget,
    CallLogging,
    Quality, // filter, antialias and dither for the renders after it
};
// An operation byte names its operation modulo this count, but for
// kQualityByte, which names Quality: a value of its own rather than a 20th
// place in the modulo, so that the committed corpus keeps its meaning. It
// named StartOfFrame (252 % 19) before, and was the operation byte of the
// fewest corpus inputs (two of 1,069).
constexpr int kOperationCount = int(Operation::CallLogging) + 1;
constexpr int kQualityByte = 252;

// Quality's argument byte: bit 0 bilinear filtering, bit 1 dithering,
// bits 2 and 3 the samples a pixel each way less one (antialias 1 to 4).
constexpr int kQualityFilterBit = 1, kQualityDitherBit = 2, kQualitySamplesShift = 2;

// What the address callback does.
enum class TargetKind {
    Good,        // a buffer of device height rows of the chosen stride
    Nothing,     // returns without filling the record
    FailEmpty,   // returns -1 without filling it
    FailFilled,  // fills it, then returns -1
    NullAddress, // fills it with no address
    OddAddress,  // an address one byte into a buffer
};
constexpr int kTargetKindCount = int(TargetKind::OddAddress) + 1;

// Where the vertices of one call lie.
enum class Shape { Anywhere, Small, Covering, Collinear, GuardBand };
constexpr int kShapeCount = int(Shape::GuardBand) + 1;

enum class MapDefect { NullMap, WrongId, WrongSize, NullTexels };
constexpr int kMapDefectCount = int(MapDefect::NullTexels) + 1;

enum class TexelPattern { Opaque, Clear, Holes, Mixed, OneTransparent };
constexpr int kTexelPatternCount = int(TexelPattern::OneTransparent) + 1;

} // namespace softsglfuzz
