// The program's own declaration of the Glide 2.x subset that Lumvane calls:
// types, constants and prototypes of glide2x.dll, and nothing more.
#pragma once

#include <cstddef>
#include <cstdint>

// Glide 2.x is __stdcall on 32-bit Windows; its DLL exports the decorated
// names (_grGlideInit@0, _grSstWinOpen@28, ...). Elsewhere there is one
// calling convention and the names are plain.
#if defined(_WIN32) && !defined(_WIN64)
#define FX_CALL __stdcall
#else
#define FX_CALL
#endif

// C linkage; on Windows our glide2x.dll exports these through a .def file.
#define FX_ENTRY extern "C"

typedef std::uint8_t FxU8;
typedef std::int8_t FxI8;
typedef std::uint16_t FxU16;
typedef std::int16_t FxI16;
typedef std::uint32_t FxU32;
typedef std::int32_t FxI32;
typedef FxI32 FxBool;
typedef float FxFloat;

#define FXTRUE 1
#define FXFALSE 0

// Colours are 32-bit words in the colour format chosen at open; in ABGR
// red is bits 0-7, green 8-15, blue 16-23, alpha 24-31.
typedef FxU32 GrColor_t;
typedef FxU8 GrAlpha_t;
typedef FxU8 GrFog_t;

typedef FxI32 GrScreenResolution_t;
typedef FxI32 GrScreenRefresh_t;
typedef FxI32 GrColorFormat_t;
typedef FxI32 GrOriginLocation_t;
typedef FxI32 GrCombineFunction_t;
typedef FxI32 GrCombineFactor_t;
typedef FxI32 GrCombineLocal_t;
typedef FxI32 GrCombineOther_t;
typedef FxI32 GrFogMode_t;
typedef FxI32 GrAlphaBlendFnc_t;
typedef FxI32 GrColorCombineFnc_t;
typedef FxI32 GrSstType;

#define GR_RESOLUTION_640x480 7
#define GR_REFRESH_60Hz 0
#define GR_COLORFORMAT_ARGB 0
#define GR_COLORFORMAT_ABGR 1
#define GR_ORIGIN_UPPER_LEFT 0
#define GR_ORIGIN_LOWER_LEFT 1

#define GR_COMBINE_FUNCTION_ZERO 0
#define GR_COMBINE_FUNCTION_LOCAL 1
#define GR_COMBINE_FUNCTION_LOCAL_ALPHA 2
#define GR_COMBINE_FUNCTION_SCALE_OTHER 3
#define GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL 4
#define GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL_ALPHA 5
#define GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL 6
#define GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL 7
#define GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL_ALPHA 8
#define GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL 9
#define GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL_ALPHA 0x10

#define GR_COMBINE_FACTOR_ZERO 0x0
#define GR_COMBINE_FACTOR_LOCAL 0x1
#define GR_COMBINE_FACTOR_OTHER_ALPHA 0x2
#define GR_COMBINE_FACTOR_LOCAL_ALPHA 0x3
#define GR_COMBINE_FACTOR_TEXTURE_ALPHA 0x4
#define GR_COMBINE_FACTOR_ONE 0x8
#define GR_COMBINE_FACTOR_ONE_MINUS_LOCAL 0x9
#define GR_COMBINE_FACTOR_ONE_MINUS_OTHER_ALPHA 0xa
#define GR_COMBINE_FACTOR_ONE_MINUS_LOCAL_ALPHA 0xb
#define GR_COMBINE_FACTOR_ONE_MINUS_TEXTURE_ALPHA 0xc

#define GR_COMBINE_LOCAL_ITERATED 0
#define GR_COMBINE_LOCAL_CONSTANT 1
#define GR_COMBINE_LOCAL_DEPTH 2

#define GR_COMBINE_OTHER_ITERATED 0
#define GR_COMBINE_OTHER_TEXTURE 1
#define GR_COMBINE_OTHER_CONSTANT 2

#define GR_COLORCOMBINE_ZERO 0
#define GR_COLORCOMBINE_CCRGB 1
#define GR_COLORCOMBINE_ITRGB 2

#define GR_FOG_DISABLE 0
#define GR_FOG_WITH_ITERATED_ALPHA 1
#define GR_FOG_WITH_TABLE 2

#define GR_BLEND_ZERO 0x0
#define GR_BLEND_SRC_ALPHA 0x1
#define GR_BLEND_SRC_COLOR 0x2
#define GR_BLEND_DST_ALPHA 0x3
#define GR_BLEND_ONE 0x4
#define GR_BLEND_ONE_MINUS_SRC_ALPHA 0x5
#define GR_BLEND_ONE_MINUS_SRC_COLOR 0x6
#define GR_BLEND_ONE_MINUS_DST_ALPHA 0x7

#define GR_FOG_TABLE_SIZE 64

#define GR_SSTTYPE_VOODOO 0

// One vertex of every drawing call: screen position in pixels (origin as
// opened), colour and alpha from 0 to 255, and oow = 1/w, which selects the
// table fog. Texture coordinates follow per texture unit.
typedef struct {
  float sow, tow, oow;
} GrTmuVertex;

typedef struct {
  float x, y, z;
  float r, g, b;
  float ooz;
  float a;
  float oow;
  GrTmuVertex tmuvtx[2];
} GrVertex;

// What grSstQueryHardware reports of each board: its kind and the memory
// and revision figures of its frame buffer and texture units.
typedef struct {
  FxI32 fbRam;
  FxI32 fbiRev;
  FxI32 nTexelfx;
  FxI32 sliDetect;
  FxI32 tmuRev;
  FxI32 tmuRam;
  FxI32 reserved[2];
} GrBoardConfig;

typedef struct {
  FxI32 num_sst;
  struct {
    GrSstType type;
    GrBoardConfig config;
  } SSTs[4];
} GrHwConfiguration;

static_assert(sizeof(GrVertex) == 60, "GrVertex is fifteen 32-bit floats");
static_assert(offsetof(GrVertex, r) == 12);
static_assert(offsetof(GrVertex, a) == 28);
static_assert(offsetof(GrVertex, oow) == 32);
static_assert(offsetof(GrVertex, tmuvtx) == 36);
static_assert(sizeof(GrHwConfiguration) == 148, "the record the library fills");
static_assert(offsetof(GrHwConfiguration, SSTs) == 4);

// Device lifecycle.
FX_ENTRY void FX_CALL grGlideInit(void);
FX_ENTRY FxBool FX_CALL grSstQueryHardware(GrHwConfiguration* hwconfig);
FX_ENTRY void FX_CALL grSstSelect(int whichSst);
FX_ENTRY FxBool FX_CALL grSstWinOpen(FxU32 hWnd, GrScreenResolution_t resolution,
                                     GrScreenRefresh_t refresh, GrColorFormat_t format,
                                     GrOriginLocation_t origin, int colorBuffers,
                                     int auxBuffers);
FX_ENTRY void FX_CALL grGlideShutdown(void);

// Render state.
FX_ENTRY void FX_CALL grColorCombine(GrCombineFunction_t function, GrCombineFactor_t factor,
                                     GrCombineLocal_t local, GrCombineOther_t other,
                                     FxBool invert);
FX_ENTRY void FX_CALL grAlphaCombine(GrCombineFunction_t function, GrCombineFactor_t factor,
                                     GrCombineLocal_t local, GrCombineOther_t other,
                                     FxBool invert);
FX_ENTRY void FX_CALL guColorCombineFunction(GrColorCombineFnc_t function);
FX_ENTRY void FX_CALL grFogMode(GrFogMode_t mode);
FX_ENTRY void FX_CALL grFogColorValue(GrColor_t color);
FX_ENTRY void FX_CALL guFogGenerateExp(GrFog_t fogTable[GR_FOG_TABLE_SIZE], float density);
FX_ENTRY float FX_CALL guFogTableIndexToW(int index);
FX_ENTRY void FX_CALL grFogTable(const GrFog_t fogTable[GR_FOG_TABLE_SIZE]);
FX_ENTRY void FX_CALL grAlphaBlendFunction(GrAlphaBlendFnc_t rgbSource, GrAlphaBlendFnc_t rgbDest,
                                           GrAlphaBlendFnc_t alphaSource,
                                           GrAlphaBlendFnc_t alphaDest);
FX_ENTRY void FX_CALL grClipWindow(FxU32 minx, FxU32 miny, FxU32 maxx, FxU32 maxy);

// Drawing and buffers.
FX_ENTRY void FX_CALL grBufferClear(GrColor_t color, GrAlpha_t alpha, FxU16 depth);
FX_ENTRY void FX_CALL grDrawPoint(const GrVertex* vertex);
FX_ENTRY void FX_CALL grAADrawPoint(const GrVertex* vertex);
FX_ENTRY void FX_CALL grAADrawLine(const GrVertex* first, const GrVertex* second);
FX_ENTRY void FX_CALL grBufferSwap(int swapInterval);
