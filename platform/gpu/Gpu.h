// platform/gpu: the in-memory graphics device that stands in for the platform's graphics API.
//
// What it models. One adapter (GpuFactory) with a configurable desktop, mode list, format
// capabilities and multisample counts (GpuEnvironment.h). A device (GpuDevice) with an implicit swap
// chain, textures, cube textures, render-target and depth-stencil surfaces, vertex and index
// buffers, vertex declarations, shaders and event queries. Every surface owns real pixel memory:
// clears, copies (StretchRect), locks and the surface loader work on it, and ReadPixel decodes every
// format (compressed ones too) to floats or 8-bit ARGB. Buffers own their bytes and follow the
// platform's lock rules. The device keeps render, sampler and texture state tables, 256 vertex and
// 224 pixel float constant registers (writes past them are refused and counted), per-frame
// statistics with per-state call counts, a draw log with a state snapshot per draw (with the
// registers its shaders read and the pixels it wrote) and a log of clears and copies in call
// order. Objects are reference counted with live counts per kind; a reset is refused while
// default-pool objects live.
// The fault plan (Faults()) fails creation, loses the device on present or reset for k tries and
// keeps queries not ready for k polls. A detector counts and logs two threads inside the device.
// Numbers that callers and data files carry follow the platform's numbering (GpuTypes.h).
//
// Draws are rasterised in software, synchronously inside each draw call: point lists (squares of the point size), line lists and strips (one pixel wide),
// triangle lists, strips and fans, from streams (offsets, strides, instancing frequencies) or the
// caller's memory, indexed (16 or 32 bits, base vertex, start index) or not. Clipping against the
// near plane and a guard band (Rasteriser.h), the viewport with its depth range, culling by the
// winding on screen (clockwise is front), the top-left fill rule with 8 sub-pixel bits and pixel
// centres on whole window coordinates as on the platform, perspective-correct values, depth bias
// and slope-scaled bias, the scissor test, the alpha test, depth (D16, D24S8, INTZ) and stencil
// tests with their operations and masks (two-sided stencil too), blending (every factor and operation, separate alpha),
// the colour write mask, sRGB writes, every colour render-target format, and texture sampling
// (TextureSampler.h: point, linear and anisotropic, wrap, mirror, clamp and border, mip selection
// with point or linear mip filtering from the pixel's texture-coordinate change, cube faces) from
// the textures' own memory. Shaders run as the small C++ programs of ShaderProgram.h, picked by the program words
// a source declares with "#pragma program"; a shader without a program draws flat magenta and is
// counted (drawsWithoutProgram). Every Nth present can be written as a PNG file (SetFrameImages,
// NORVEX_FRAME_PNG, NORVEX_FRAME_PNG_EVERY). A textured pixel costs about 0.1 microseconds in an
// optimised build (bench/RasteriserBench.cpp): a full 1280x720 pass is some 90 ms.
// Which draws, clears and copies colour pixels is the device's RasterMode (GpuEnvironment.h):
// Always (the default: tests and tools read pixels), Never, or WrittenFrames, which the game uses:
// only the frames that a present will write as images are rasterised, plus every write to a target
// in the first frame that draws it and to targets a frame reads before drawing them (their pixels
// outlive the frame, like a lighting cube drawn when its lights change); with no image folder
// nothing is. A read of pixels a skipped operation should have written is counted
// (staleContentReads) and logged. Skipped operations are still checked, counted and logged.
//
// What it does not model. The programs are not the shaders: they reproduce what each family does
// to geometry, colour and textures, not the look of the final game. No anti-aliasing or
// multisample storage (a multisampled surface holds one sample), mip levels of texture set 0 only
// (other sets sample with its change), cube maps from level 0 only, no fixed-function lighting or transform (a
// draw without shaders passes its positions through as clip space), no pre-transformed vertices,
// no timing (queries finish after the planned polls), no window system (a windowed swap chain
// without a size takes the desktop size). The shader compiler (ShaderCompiler.h) is a reflection
// compiler (preprocessor, declared uniforms, reachability from the entry point, registers) and its
// "code" is our own record.
//
// Threads: the render thread owns a device; creation and reset come from the thread that created it
// while the render thread is idle. Reference counts, live counts, the display configuration and the
// fault plan may be touched from any thread. Failures are logged through GpuLog.h's handler.
#pragma once

#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuFactory.h"
#include "platform/gpu/GpuLog.h"
#include "platform/gpu/ShaderCompiler.h"
#include "platform/gpu/SurfaceLoader.h"
