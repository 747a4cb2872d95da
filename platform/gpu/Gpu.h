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
// statistics with per-state call counts and a draw log with a state snapshot per draw. Objects are
// reference counted with live counts per kind; a reset is refused while default-pool objects live.
// The fault plan (Faults()) fails creation, loses the device on present or reset for k tries and
// keeps queries not ready for k polls. A detector counts and logs two threads inside the device.
// Numbers that callers and data files carry follow the platform's numbering (GpuTypes.h).
//
// What it does not model. Nothing is rasterised: draws are validated against the bound state,
// counted and logged, but write no pixels. Shaders never run: the compiler (ShaderCompiler.h) is a
// reflection compiler (preprocessor, declared uniforms, reachability from the entry point, registers)
// and its "code" is our own record. No multisample storage (a multisampled surface holds one sample),
// no fixed-function lighting, no timing (queries finish after the planned polls), no window system
// (a windowed swap chain without a size takes the desktop size).
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
